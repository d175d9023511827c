#include "forms/waveband_filter_setup.h"

#include "chain/processing_session.h"
#include "store/database.h"

namespace orvane {

WavebandFilterSetup::WavebandFilterSetup(ProcessingSession& session) : session_(session) {}

std::string WavebandFilterSetup::Line(int lower, int upper) {
    return Sql("%i - %i nm", lower, upper);
}

void WavebandFilterSetup::Refill() {
    lines_.clear();
    for (int i = 0; i < working_.Count(); ++i)
        lines_.push_back(Line(working_.At(i).lower, working_.At(i).upper));
}

void WavebandFilterSetup::Show() {
    WavebandFilter loaded;
    loaded.Load(session_.Db(), session_.StudyId());
    working_.CopyFrom(loaded);
    Refill();
}

void WavebandFilterSetup::New(int lower, int upper) {
    working_.AddRange(lower, upper);
    lines_.push_back(Line(lower, upper));
}

bool WavebandFilterSetup::Modify(int index, int lower, int upper) {
    if (index < 0 || index >= working_.Count()) return false;
    working_.At(index).lower = lower;
    working_.At(index).upper = upper;
    lines_[static_cast<size_t>(index)] = Line(lower, upper);
    return true;
}

bool WavebandFilterSetup::Delete(int index) {
    if (index < 0 || index >= working_.Count()) return false;
    working_.Remove(index);
    lines_.erase(lines_.begin() + index);
    return true;
}

void WavebandFilterSetup::AddDefaultRanges() {
    const WavebandFilter& defaults = session_.DefaultFilter();
    for (int i = 0; i < defaults.Count(); ++i)
        working_.AddRange(defaults.At(i).lower, defaults.At(i).upper);
    Refill();
}

void WavebandFilterSetup::Ok() {
    Database& db = session_.Db();
    const int study = session_.StudyId();
    {
        Transaction tx(db);
        db.Execute(Sql("delete from waveband_filter_range where study_id = %i", study));
        for (int i = 0; i < working_.Count(); ++i) {
            db.Execute(Sql("insert into waveband_filter_range (study_id, waveband_filter_id, "
                           "lower_wavelength, upper_wavelength) values (%i, (select "
                           "waveband_filter_id from waveband_filter where study_id = %i), %i, %i)",
                           study, study, working_.At(i).lower, working_.At(i).upper));
        }
        db.Execute(Sql("update waveband_filter set changed_at = current_timestamp(6) where "
                       "study_id = %i",
                       study));
        tx.Commit();
    }
    session_.LoadStudyFilter();
    session_.SetSmoothingType(session_.SmoothingType());
}

}  // namespace orvane
