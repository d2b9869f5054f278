#include <cstdio>

#include "engine/random.h"

int main() {
    quillon::RandomGenerator::Instance().Seed(1);
    std::printf("first draw: %.8f\n", quillon::RandomGenerator::Instance().Next());
    return 0;
}
