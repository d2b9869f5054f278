#include "saver/saver_app.h"

int main(int argc, char** argv) {
    return quillon::RunLumadrift(argc, argv);
}
