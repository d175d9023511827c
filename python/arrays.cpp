// SPDX-License-Identifier: GPL-3.0-or-later
#include "arrays.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace orvane::python {

void Refuse(const std::string& name, const std::string& what) {
    throw py::value_error(name + ": " + what);
}

std::string PathArgument(py::handle value, const std::string& name) {
    const py::module_ os = py::module_::import("os");
    try {
        return os.attr("fsdecode")(os.attr("fspath")(value)).cast<std::string>();
    } catch (const py::error_already_set& e) {
        if (!e.matches(PyExc_TypeError)) throw;
    }
    Refuse(name, "a path is needed, not " + py::str(py::type::of(value).attr("__name__")).cast<std::string>());
}

Rows::Rows(py::handle object, const std::string& name, int min_dims, int max_dims)
    : name_(name) {
    if (object.is_none()) Refuse(name, "an array is needed, not None");
    py::array array;
    if (py::isinstance<py::array>(object)) {
        array = py::reinterpret_borrow<py::array>(object);
    } else {
        try {
            array = py::array::ensure(object);
        } catch (const py::error_already_set&) {
        }
        if (!array) Refuse(name, "an array of numbers is needed");
    }
    const py::dtype dtype = array.dtype();
    const char kind = dtype.kind();
    const bool native = dtype.attr("isnative").cast<bool>();
    const py::ssize_t size = dtype.itemsize();
    static const struct {
        char kind;
        py::ssize_t size;
        char code;
    } kRead[] = {{'f', 8, 'd'}, {'f', 4, 'f'}, {'i', 2, 'h'}, {'u', 2, 'H'},
                 {'i', 4, 'i'}, {'u', 4, 'I'}, {'i', 1, 'b'}, {'u', 1, 'B'}};
    bool read = false;
    for (const auto& r : kRead)
        if (native && kind == r.kind && size == r.size) {
            code_ = r.code;
            read = true;
        }
    if (read) {
    } else if (kind == 'f' || kind == 'i' || kind == 'u' || kind == 'b') {
        array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
        if (!array) Refuse(name, "its values cannot be read as numbers");
    } else {
        Refuse(name, "an array of numbers is needed, not of dtype " +
                         py::str(dtype.attr("name")).cast<std::string>());
    }
    dims_ = static_cast<int>(array.ndim());
    if (dims_ < min_dims || dims_ > max_dims) {
        std::string wanted = min_dims == max_dims ? std::to_string(min_dims)
                                                  : std::to_string(min_dims) + " to " +
                                                        std::to_string(max_dims);
        Refuse(name, "an array of " + wanted + " dimensions is needed, not " +
                         std::to_string(dims_));
    }
    array_ = array;
    base_ = static_cast<const char*>(array.data());
    const py::ssize_t item = static_cast<py::ssize_t>(array.itemsize());
    switch (dims_) {
        case 1:
            rows_ = 1;
            columns_ = array.shape(0);
            column_stride_ = array.strides(0);
            break;
        case 2:
            rows_ = array.shape(0);
            columns_ = array.shape(1);
            width_ = rows_;
            inner_stride_ = array.strides(0);
            column_stride_ = array.strides(1);
            break;
        default:
            height_ = array.shape(0);
            width_ = array.shape(1);
            rows_ = height_ * width_;
            columns_ = array.shape(2);
            outer_stride_ = array.strides(0);
            inner_stride_ = array.strides(1);
            column_stride_ = array.strides(2);
            break;
    }
    direct_ = code_ == 'd' && (column_stride_ == item || columns_ <= 1);
}

const double* Rows::Row(py::ssize_t i, double* scratch) const {
    const py::ssize_t y = i / width_;
    const py::ssize_t x = i - y * width_;
    const char* row = base_ + y * outer_stride_ + x * inner_stride_;
    if (direct_) return reinterpret_cast<const double*>(row);
    switch (code_) {
        case 'd': Gather<double>(row, scratch); break;
        case 'f': Gather<float>(row, scratch); break;
        case 'h': Gather<std::int16_t>(row, scratch); break;
        case 'H': Gather<std::uint16_t>(row, scratch); break;
        case 'i': Gather<std::int32_t>(row, scratch); break;
        case 'I': Gather<std::uint32_t>(row, scratch); break;
        case 'b': Gather<std::int8_t>(row, scratch); break;
        default: Gather<std::uint8_t>(row, scratch); break;
    }
    return scratch;
}

void Rows::RequireColumns(py::ssize_t expected, const std::string& what) const {
    if (columns_ == expected) return;
    const char* axis = dims_ == 1 ? "values" : dims_ == 2 ? "columns" : "values along its last axis";
    Refuse(name_, std::to_string(expected) + " " + axis + " (" + what + ") are needed, not " +
                      std::to_string(columns_));
}

void Rows::RequireFinite(bool nan_ok) const {
    std::vector<double> scratch(static_cast<size_t>(columns_));
    for (py::ssize_t i = 0; i < rows_; ++i) {
        const double* v = Row(i, scratch.data());
        for (py::ssize_t k = 0; k < columns_; ++k) {
            if (std::isfinite(v[k]) || (nan_ok && std::isnan(v[k]))) continue;
            std::string where = dims_ == 1   ? "value " + std::to_string(k)
                                : dims_ == 2 ? "row " + std::to_string(i) + ", column " +
                                                   std::to_string(k)
                                             : "pixel (" + std::to_string(i / width_) + ", " +
                                                   std::to_string(i % width_) + "), band " +
                                                   std::to_string(k);
            const std::string value = std::isnan(v[k]) ? "NaN" : v[k] > 0 ? "inf" : "-inf";
            Refuse(name_, where + " is " + value +
                              (nan_ok ? "; only NaN may stand for a missing value"
                                      : "; every value must be a finite number"));
        }
    }
}

py::array_t<double> NewArray(const std::vector<py::ssize_t>& shape) {
    return py::array_t<double>(shape);
}

}  // namespace orvane::python
