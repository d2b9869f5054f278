#include "engine/matrix.h"

namespace quillon {

Matrix& Matrix::operator=(const Matrix& other) {
    if (this == &other) return *this;
    m_rows = other.m_rows;
    m_columns = other.m_columns;
    m_rowOffsets = other.m_rowOffsets;
    m_data = other.m_data;
    return *this;
}

Matrix Matrix::Identity(int size) {
    Matrix m(size, size, 0.0);
    for (int k = 0; k < m.m_rows; ++k) m.Element(k, k) = 1.0;
    return m;
}

Matrix Matrix::Point(double x, double y, double z) {
    Matrix m(4, 1, 0.0);
    m.m_data[0] = x;
    m.m_data[1] = y;
    m.m_data[2] = z;
    m.m_data[3] = 1.0;
    return m;
}

double& Matrix::Element(int row, int column) {
    if (m_data.empty()) {
        m_discard = 0.0;
        return m_discard;
    }
    if (row < 0 || column < 0 || row >= m_rows || column >= m_columns) return m_data[0];
    return m_data[static_cast<std::size_t>(m_rowOffsets[row] + column)];
}

double Matrix::Element(int row, int column) const {
    if (m_data.empty()) return 0.0;
    if (row < 0 || column < 0 || row >= m_rows || column >= m_columns) return m_data[0];
    return m_data[static_cast<std::size_t>(m_rowOffsets[row] + column)];
}

void Matrix::Resize(int rows, int columns, double fill) {
    if (rows < 0) rows = 0;
    if (columns < 0) columns = 0;
    const long long count = static_cast<long long>(rows) * columns;
    if (count == 0 || count > kMaxElements) {
        rows = 0;
        columns = 0;
    }
    m_rows = rows;
    m_columns = columns;
    m_rowOffsets.assign(static_cast<std::size_t>(rows), 0);
    for (int r = 0; r < rows; ++r) m_rowOffsets[static_cast<std::size_t>(r)] = r * columns;
    m_data.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), fill);
}

void Matrix::ScaleBy(double factor) {
    for (double& e : m_data) e *= factor;
}

Matrix Matrix::Multiply(const Matrix& right) const {
    Matrix out;
    MultiplyInto(right, out);
    return out;
}

void Matrix::MultiplyInto(const Matrix& right, Matrix& out) const {
    if (m_columns != right.m_rows || m_data.empty() || right.m_data.empty()) {
        out.Resize(0, 0);
        return;
    }
    if (out.m_rows != m_rows || out.m_columns != right.m_columns) {
        out.Resize(m_rows, right.m_columns);
    }
    const std::size_t n = static_cast<std::size_t>(m_columns);
    const std::size_t rc = static_cast<std::size_t>(right.m_columns);
    for (std::size_t r = 0; r < static_cast<std::size_t>(m_rows); ++r) {
        for (std::size_t c = 0; c < rc; ++c) {
            double sum = 0.0;
            for (std::size_t k = 0; k < n; ++k) sum += m_data[r * n + k] * right.m_data[k * rc + c];
            out.m_data[r * rc + c] = sum;
        }
    }
}

bool Matrix::operator==(const Matrix& other) const {
    return m_rows == other.m_rows && m_columns == other.m_columns && m_data == other.m_data;
}

}  // namespace quillon
