#pragma once

#include <vector>

namespace quillon {

// A small dense matrix of doubles. Points are 4 x 1 columns (x, y, z, 1);
// transforms are 4 x 4.
class Matrix {
  public:
    Matrix() = default;
    Matrix(int rows, int columns, double fill = 0.0) { Resize(rows, columns, fill); }
    virtual ~Matrix() = default;

    Matrix(const Matrix&) = default;
    Matrix(Matrix&&) noexcept = default;
    Matrix& operator=(const Matrix& other);
    Matrix& operator=(Matrix&&) noexcept = default;

    static Matrix Identity(int size);
    // A 4 x 1 homogeneous point (x, y, z, 1).
    static Matrix Point(double x, double y, double z);

    int Rows() const { return m_rows; }
    int Columns() const { return m_columns; }
    bool IsEmpty() const { return m_data.empty(); }

    // An index outside the matrix refers to the first element (to a
    // discarded slot when the matrix is empty), never outside the storage.
    double& Element(int row, int column);
    double Element(int row, int column) const;

    // Negative sizes count as 0; sizes past kMaxElements leave the matrix
    // empty rather than allocate without bound.
    void Resize(int rows, int columns, double fill = 0.0);
    void ScaleBy(double factor);

    // this x right. Mismatched inner sizes give an empty matrix.
    Matrix Multiply(const Matrix& right) const;
    // The same product into out, reusing its storage when the shape fits
    // (no allocation in per-pixel loops). out must not alias this or right.
    void MultiplyInto(const Matrix& right, Matrix& out) const;

    bool operator==(const Matrix& other) const;

    static constexpr long long kMaxElements = 1 << 24;

  private:
    int m_rows = 0;
    int m_columns = 0;
    std::vector<int> m_rowOffsets;
    std::vector<double> m_data;
    double m_discard = 0.0;
};

}  // namespace quillon
