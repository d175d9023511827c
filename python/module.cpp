// SPDX-License-Identifier: GPL-3.0-or-later
// The compiled half of the `orvane` package; orvane/__init__.py gives it its Python face.
#include <pybind11/pybind11.h>

#include <string>

#include "base/orvane_error.h"
#include "base/parallel.h"
#include "bindings.h"
#include "statistics.h"

namespace orvane::python {

namespace {

// The remedy of a core error in Python's terms: an attribute word and the hint of the message.
struct RemedyText {
    const char* word;
    const char* hint;
};

RemedyText TextOf(Remedy remedy) {
    switch (remedy) {
        case Remedy::kImportSensor:
            return {"import_sensor", "orvane.sensors() lists the shipped sensors"};
        case Remedy::kMarkEndmembers:
            return {"mark_endmembers", "orvane-cli endmember add FOLDER..."};
        case Remedy::kReturnEndmembers:
            return {"return_endmembers", "fewer endmembers than bands"};
        case Remedy::kBuildLibrary:
            return {"build_library", "orvane-cli library build"};
        case Remedy::kGiveWavelengths:
            return {"give_wavelengths", "wavelengths=FILE"};
        case Remedy::kNone:
            break;
    }
    return {nullptr, ""};
}

}  // namespace

void BindErrors(py::module_& m) {
    static py::exception<OrvaneError> error(m, "Error", PyExc_RuntimeError);
    error.attr("__doc__") =
        "An error of Orvane's core, with its message and, where there is one, its remedy.\n\n"
        "A subclass of RuntimeError. ``remedy`` names what to do about it as a word\n"
        "(\"import_sensor\", \"build_library\", \"give_wavelengths\", \"mark_endmembers\",\n"
        "\"return_endmembers\") or is None; the message ends with the same hint.";
    error.attr("remedy") = py::none();
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const OrvaneError& e) {
            const RemedyText remedy = TextOf(e.GetRemedy());
            py::object instance =
                py::reinterpret_borrow<py::object>(error)(WithHint(e.what(), remedy.hint));
            instance.attr("remedy") = remedy.word ? py::object(py::str(remedy.word)) : py::none();
            PyErr_SetObject(error.ptr(), instance.ptr());
        }
    });
}

}  // namespace orvane::python

PYBIND11_MODULE(_orvane, m) {
    namespace py = pybind11;
    using namespace orvane::python;
    m.doc() = "The compiled core of the orvane package; use the package, not this module.";
    BindErrors(m);
    BindSensors(m);
    BindReading(m);
    BindChain(m);
    BindStatistics(m);
    BindImagery(m);
    m.def(
        "set_threads", [](int count) { orvane::SetWorkerCount(count); }, py::arg("count"),
        "Sets how many threads Orvane's long calls use (1 to 1024; by default ORVANE_THREADS,\n"
        "else the machine's cores).");
    m.def(
        "threads", [] { return orvane::WorkerCount(); },
        "The number of threads Orvane's long calls use.");
    m.attr("__version__") = ORVANE_VERSION;
}
