// SPDX-License-Identifier: GPL-3.0-or-later
// How the module reads numpy arrays: rows of values taken where they lie whenever the array is
// C-contiguous float64 (any number of rows of any array shape), gathered row by row from other
// layouts and from float32, so that a memory-mapped cube is never copied whole.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace orvane::python {

namespace py = pybind11;

// The rows of a 1-D (one row), 2-D (rows, columns) or 3-D (height, width, columns: the rows are
// the pixels, row by row) array. Made with the GIL held; Row() may be called on any thread while
// the GIL is released (it only reads memory the array keeps alive).
class Rows {
  public:
    // Refuses (ValueError naming `name`) an object that is no array of numbers, or one whose
    // number of dimensions lies outside [min_dims, max_dims]. Arrays of float64, float32 and
    // 8 to 32-bit integers in the machine's byte order are read where they lie; other numbers
    // are converted once into float64.
    Rows(py::handle object, const std::string& name, int min_dims, int max_dims);

    const std::string& Name() const { return name_; }
    int Dims() const { return dims_; }
    py::ssize_t Count() const { return rows_; }
    py::ssize_t Columns() const { return columns_; }
    // For a 3-D array, its height and width.
    py::ssize_t Height() const { return height_; }
    py::ssize_t Width() const { return width_; }

    // Row i's values: a pointer into the array when the row is contiguous float64, else the
    // row converted into `scratch` (Columns() doubles).
    const double* Row(py::ssize_t i, double* scratch) const;
    // Where the values are read from: the array's own data unless it was converted.
    const void* Address() const { return base_; }
    // True when every row is read where it lies.
    bool Direct() const { return direct_; }

    // Refuses a column count other than `expected`, naming what the columns are.
    void RequireColumns(py::ssize_t expected, const std::string& what) const;
    // Refuses a value that is infinite, or NaN unless `nan_ok`, naming the row and column; may
    // run without the GIL.
    void RequireFinite(bool nan_ok) const;

  private:
    template <class T>
    void Gather(const char* row, double* out) const {
        for (py::ssize_t k = 0; k < columns_; ++k) {
            T v;
            std::memcpy(&v, row + k * column_stride_, sizeof v);
            out[k] = static_cast<double>(v);
        }
    }

    py::array array_;  // keeps the memory alive
    std::string name_;
    int dims_ = 0;
    py::ssize_t rows_ = 0, columns_ = 0, height_ = 1, width_ = 1;
    const char* base_ = nullptr;
    py::ssize_t outer_stride_ = 0, inner_stride_ = 0, column_stride_ = 0;
    // How a value is read: 'd' float64, 'f' float32, 'h'/'H' int16/uint16, 'i'/'I' int32/uint32,
    // 'b'/'B' int8/uint8.
    char code_ = 'd';
    bool direct_ = false;
};

// A new float64 array of the given shape, C-contiguous.
py::array_t<double> NewArray(const std::vector<py::ssize_t>& shape);

// A path given as str, bytes or os.PathLike; refuses anything else naming the argument.
std::string PathArgument(py::handle value, const std::string& name);

// A ValueError naming the argument: "values: <what>".
[[noreturn]] void Refuse(const std::string& name, const std::string& what);

}  // namespace orvane::python
