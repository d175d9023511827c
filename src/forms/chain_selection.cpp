#include "forms/chain_selection.h"

#include <cctype>
#include <cstdlib>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "chain/derivative_settings.h"
#include "store/database.h"
#include "store/name_lookup.h"

namespace orvane {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int Choose(const std::string& word, const char* what, std::initializer_list<const char*> choices) {
    int i = 0;
    std::string list;
    for (const char* c : choices) {
        if (Lower(word) == Lower(c)) return i;
        list += (i ? ", " : "") + std::string(c);
        ++i;
    }
    throw OrvaneError("Unknown " + std::string(what) + " \"" + word + "\"; choose one of " + list +
                      ".");
}

}  // namespace

int ParseSmoothingType(const std::string& word) {
    return Choose(word, "smoothing type", {"none", "sg-mw", "sg-fft"});
}

int ParseDerivativeMethod(const std::string& word) {
    return Choose(word, "derivative method", {"iterative", "savgol"});
}

int ParseFeatureSpaceType(const std::string& word) {
    return Choose(word, "feature-space type", {"DI", "NTBI", "PCT"});
}

int ParseClassifier(const std::string& word) {
    return Choose(word, "classifier", {"mahalanobis", "modified-mahalanobis", "gsd", "sam"});
}

std::vector<FeatureSpaceItem> ListFeatureSpaces(ProcessingSession& session) {
    std::vector<FeatureSpaceItem> items;
    Database& db = session.Db();
    const int elements = session.CurrentSensor() ? session.CurrentSensor()->ElementCount() : 0;
    if (session.FeatureSpaceType() == 2) {
        if (!session.CurrentSensor()) return items;
        int pca = 0;
        db.QueryInt(
            Sql("SELECT pca_data_id FROM pca_data pca, smoothing_filter sf, derivative d, "
                "waveband_filter wf where pca.study_id = %i and pca.smoothing_filter_id = "
                "sf.smoothing_filter_id and pca.build_date > sf.changed_at and "
                "sf.smoothing_filter_id = %i and pca.derivative_id = d.derivative_id and "
                "d.derivative_id = %i and pca.build_date > d.changed_at and sensor_id = %i and "
                "pca.build_date > wf.changed_at and wf.waveband_filter_id = %i",
                session.StudyId(), session.SmoothingFilterId(), session.DerivativeId(),
                session.CurrentSensor()->SensorId(), session.WavebandFilterId()),
            pca);
        if (pca == 0) return items;
    }
    ResultSet rows = db.Query(
        Sql("SELECT fs.name, feature_space_id FROM feature_space fs, feature_space_type fst "
            "where fs.fs_type_id = fst.fs_type_id and type = %i and dimension <= %i order by "
            "dimension",
            session.FeatureSpaceType(), elements));
    while (rows.Next()) items.push_back({rows.String(0), rows.Int(1)});
    return items;
}

int ResolveStudy(ProcessingSession& session, const std::string& name_or_id) {
    return ResolveByNameOrId(session.Db(), kStudyNames, name_or_id);
}

int ResolveSensor(ProcessingSession& session, const std::string& name_or_id) {
    return ResolveByNameOrId(session.Db(), kSensorNames, name_or_id);
}

int ResolveAnyFeatureSpace(ProcessingSession& session, const std::string& name_or_id,
                           std::optional<int> type) {
    Database& db = session.Db();
    const bool digits = !name_or_id.empty() &&
                        name_or_id.find_first_not_of("0123456789") == std::string::npos;
    if (!type || digits) return ResolveByNameOrId(db, kFeatureSpaceNames, name_or_id);
    // Names are unique within a type only, so the type picks among feature spaces of one name.
    std::vector<int> exact;
    {
        ResultSet rows = db.Query(
            Sql("select feature_space_id, fs.name from feature_space fs, feature_space_type fst "
                "where fs.fs_type_id = fst.fs_type_id and fst.type = %i and fs.name = '%s' "
                "order by feature_space_id",
                *type, db.Escape(name_or_id).c_str()));
        while (rows.Next())
            if (rows.String(1) == name_or_id) exact.push_back(rows.Int(0));
    }
    if (exact.empty())
        throw OrvaneError("There is no feature space \"" + name_or_id + "\" of that type.");
    if (exact.size() > 1)
        throw OrvaneError("The feature space name \"" + name_or_id +
                          "\" is ambiguous within its type; give the id instead.");
    return exact.front();
}

void ApplyChainSelection(ProcessingSession& session, const ChainSelection& sel) {
    Database& db = session.Db();
    const int study = sel.study ? ResolveByNameOrId(db, kStudyNames, *sel.study)
                                : session.StudyId();
    if (study == 0)
        throw OrvaneError("There is no study in the database; create or import one first.");
    session.SetStudy(study);
    if (sel.sensor) {
        const int id = ResolveByNameOrId(db, kSensorNames, *sel.sensor);
        session.SetSensor(id);
    }
    session.SetSmoothingType(sel.smoothing_type.value_or(session.SmoothingType()));
    session.SetDerivativeOrder(sel.derivative_order.value_or(session.DerivativeOrder()));
    if (sel.derivative_method && session.Derivative() &&
        session.Derivative()->Method() != *sel.derivative_method)
        session.Derivative()->SetMethod(*sel.derivative_method);
    session.SetFeatureSpaceType(sel.feature_space_type.value_or(session.FeatureSpaceType()));
    if (sel.feature_space) {
        const int id = ResolveByNameOrId(db, kFeatureSpaceNames, *sel.feature_space);
        session.SetFeatureSpace(id);
    } else {
        const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(session);
        session.SetFeatureSpace(items.empty() ? 0 : items.front().id);
    }
    if (sel.classifier) session.SetClassifier(*sel.classifier);
}

}  // namespace orvane
