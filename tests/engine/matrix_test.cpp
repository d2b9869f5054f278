#include "engine/matrix.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(Matrix, ShapeFillAndOutOfRangeElements) {
    Matrix m;
    EXPECT_EQ(m.Rows(), 0);
    EXPECT_TRUE(m.IsEmpty());
    // An empty matrix has no first element: writes go nowhere, reads give 0.
    m.Element(3, 3) = 5.0;
    EXPECT_EQ(static_cast<const Matrix&>(m).Element(0, 0), 0.0);

    m.Resize(2, 3, 1.5);
    EXPECT_EQ(m.Rows(), 2);
    EXPECT_EQ(m.Columns(), 3);
    m.Element(1, 2) = 7.0;
    EXPECT_EQ(m.Element(1, 2), 7.0);
    EXPECT_EQ(m.Element(0, 0), 1.5);
    // Outside the matrix refers to the first element.
    m.Element(2, 0) = 9.0;
    EXPECT_EQ(m.Element(0, 0), 9.0);
    EXPECT_EQ(m.Element(-1, 1), 9.0);
    EXPECT_EQ(m.Element(1, 2), 7.0);

    m.Resize(-4, 3);
    EXPECT_TRUE(m.IsEmpty());
    m.Resize(1 << 20, 1 << 20);  // would be 8 TB
    EXPECT_TRUE(m.IsEmpty());
}

TEST(Matrix, MultiplyScaleAndAssign) {
    Matrix a(2, 3);
    Matrix b(3, 2);
    double v = 1.0;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) a.Element(r, c) = v++;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) b.Element(r, c) = v++;
    // a = [1 2 3; 4 5 6], b = [7 8; 9 10; 11 12]
    const Matrix p = a.Multiply(b);
    ASSERT_EQ(p.Rows(), 2);
    ASSERT_EQ(p.Columns(), 2);
    EXPECT_EQ(p.Element(0, 0), 58.0);
    EXPECT_EQ(p.Element(0, 1), 64.0);
    EXPECT_EQ(p.Element(1, 0), 139.0);
    EXPECT_EQ(p.Element(1, 1), 154.0);

    EXPECT_TRUE(a.Multiply(a).IsEmpty());  // 2x3 by 2x3

    Matrix out(4, 4, 3.0);
    a.MultiplyInto(b, out);
    EXPECT_EQ(out, p);

    Matrix point = Matrix::Point(1, 2, 3);
    const Matrix moved = Matrix::Identity(4).Multiply(point);
    EXPECT_EQ(moved, point);
    point.ScaleBy(2.0);
    EXPECT_EQ(point.Element(3, 0), 2.0);

    Matrix copy;
    copy = a;
    EXPECT_EQ(copy, a);
    copy = copy;  // self-assignment keeps the contents
    EXPECT_EQ(copy, a);
    copy = Matrix::Identity(4);
    EXPECT_EQ(copy.Rows(), 4);
    EXPECT_EQ(copy.Element(2, 2), 1.0);
    EXPECT_EQ(copy.Element(2, 1), 0.0);
}

}  // namespace
}  // namespace quillon
