#include "spectra/site.h"

namespace orvane {

Site::Site(int site_number, int capacity) : site_number_(site_number) {
    if (capacity > 0) {
        members_.reserve(static_cast<size_t>(capacity));
        owned_.reserve(static_cast<size_t>(capacity));
    }
}

Site::Site() = default;

Site::~Site() = default;

void Site::AddMember(std::unique_ptr<Spectrum> spectrum) {
    spectrum->parent_site_ = this;
    members_.push_back(spectrum.get());
    owned_.push_back(std::move(spectrum));
}

}  // namespace orvane
