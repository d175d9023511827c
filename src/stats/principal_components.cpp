// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/principal_components.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/parallel.h"
#include "base/frontend.h"
#include "chain/chain_description.h"
#include "base/matrix_errors.h"
#include "base/matrix_stats.h"
#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/output_folder.h"
#include "base/text_file.h"
#include "chain/chain_options.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "chain/processing_session.h"
#include "spectra/spectrum.h"
#include "stats/result_record.h"
#include "store/database.h"
#include "store/feature_space_repository.h"
#include "store/study_repository.h"
#include "study/study_loader.h"

namespace orvane {

namespace {

struct Selection {
    std::vector<int> species_ids;
    int spectra = 0;
};

Selection SelectSpecies(ProcessingSession& session) {
    Selection s;
    for (const SpeciesSpectraCount& row :
         StudyRepository(session.Db()).EnabledSpectraPerSpecies(session.StudyId())) {
        if (row.spectra < session.MinSpectraPerSpecies()) continue;
        s.species_ids.push_back(row.species_id);
        s.spectra += row.spectra;
    }
    return s;
}

// Fills X column by column with each spectrum's values at the current chain's derived bands.
// A spectrum without a value at one of them (or with one elsewhere) cannot share the rows and
// is skipped; its id is kept for the report.
void CollectData(ProcessingSession& session, StudyLoader& loader, Frontend& frontend,
                 const Selection& selection, PcaResult& result) {
    std::vector<int> ids;
    std::vector<std::string> species;
    for (SpectrumOfSpecies& row :
         StudyRepository(session.Db()).EnabledSpectra(session.StudyId(), selection.species_ids)) {
        ids.push_back(row.spectrum_id);
        species.push_back(std::move(row.folder_name));
    }
    Chain chain(session.Compiled());
    const std::vector<int> bands = chain.DerivedBands();
    const int b = static_cast<int>(bands.size());
    if (b == 0)
        throw OrvaneError(
            "No data found for PCA!\nThe derived stage of the current chain has no values; check "
            "the waveband filter, the sensor and the derivative.");
    ProgressScope progress(frontend, "PCA: Preprocessing Data", static_cast<int>(ids.size()));
    const int columns = static_cast<int>(ids.size());
    Matrix& x = result.data;
    x.ReSize(b, columns);
    double* store = x.Store();
    int used = 0;
    int j = 0;
    // The spectra arrive one at a time on this thread, which owns the connection; they are
    // gathered into batches that the workers run through the chain, each spectrum's values by
    // its place in the batch, and then entered in order: the matrix is the same for any number
    // of threads.
    constexpr size_t kBatch = 512;
    ChainTeam team(session.Compiled());
    team.Prepare(WorkerCount());
    std::vector<float> stored;
    stored.reserve(kBatch * kSpectrumBands);
    std::vector<double> values(kBatch * static_cast<size_t>(b));
    std::vector<char> fits(kBatch);
    auto run_batch = [&] {
        const size_t n = stored.size() / kSpectrumBands;
        ParallelFor(n, [&](size_t i, int worker) {
            const BandVector& derived =
                team.For(worker).RunGrid(stored.data() + i * kSpectrumBands, Stage::kDerived);
            double* column = values.data() + i * static_cast<size_t>(b);
            int k = 0;
            bool fit = true;
            for (int index = derived.First(); index <= derived.Last(); ++index) {
                const double value = derived.Value(index);
                if (!HasValue(value)) continue;
                if (k == b || bands[static_cast<size_t>(k)] != index) {
                    fit = false;
                    break;
                }
                column[k++] = value;
            }
            fits[i] = fit && k == b;
        });
        for (size_t i = 0; i < n; ++i) {
            if (fits[i]) {
                const double* column = values.data() + i * static_cast<size_t>(b);
                for (int k = 0; k < b; ++k)
                    store[static_cast<size_t>(k) * columns + used] = column[k];
                result.species.push_back(species[static_cast<size_t>(j)]);
                ++used;
            } else {
                result.skipped_ids.push_back(ids[static_cast<size_t>(j)]);
            }
            frontend.StepProgress(++j);
        }
        stored.clear();
    };
    loader.ForEachSpectrum(ids, [&](Spectrum& spectrum, const SpectrumRecord&) {
        if (frontend.Cancelled()) throw Cancelled("cancelled; the PCA stored nothing");
        stored.insert(stored.end(), spectrum.reflectances_.begin(), spectrum.reflectances_.end());
        if (stored.size() == kBatch * kSpectrumBands) run_batch();
    });
    run_batch();
    result.bands = b;
    if (used < columns) {
        // An empty Newmat column range is not allowed; no columns is an empty matrix.
        const Matrix kept = used > 0 ? Matrix(x.Columns(1, used)) : Matrix(b, 0);
        x = kept;
    }
}

// "12, 15 and 40" for the report; a long list ends with how many more there are.
std::string IdList(const std::vector<int>& ids) {
    const size_t shown = std::min<size_t>(ids.size(), 20);
    std::string text;
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) text += i + 1 == ids.size() ? " and " : ", ";
        text += std::to_string(ids[i]);
    }
    if (shown < ids.size()) text += fmt::format(" and {} more", ids.size() - shown);
    return text;
}

void WriteOutput(TextFile& file, const DiagonalMatrix& d, const Matrix& v, Frontend& frontend) {
    const int b = d.Nrows();
    const double total = d.Trace();
    {
        ProgressScope progress(frontend, "PCA: Reporting eigenvalues", b);
        double cumulative = 0.0;
        for (int p = 1; p <= b; ++p) {
            const double lambda = d(b - p + 1);
            const double proportion = lambda / total;
            cumulative += proportion;
            file.WriteString(
                fmt::format("{},{:.08f},{:.08f},{:.08f}\n", p, lambda, proportion, cumulative));
            frontend.StepProgress(p);
        }
    }
    ProgressScope progress(frontend, "PCA: Reporting eigenvectors", b);
    file.WriteString("\nEigenvectors");
    file.WriteEol();
    for (int p = 1; p <= b; ++p) {
        const int column = b - p + 1;
        for (int r = 1; r <= b; ++r) file.WriteString(ScientificNumber(v(r, column)) + ",");
        file.WriteEol();
        frontend.StepProgress(p);
    }
}

// What pca_output.csv holds, components from the largest eigenvalue down, with the settings
// and the stored row it came from.
ResultJson PcaRecord(ProcessingSession& session, const DiagonalMatrix& d, const Matrix& v,
                     const PcaResult& result) {
    ProvenanceOptions options;
    options.classifier = false;
    options.feature_space = false;
    options.validation.clear();
    ResultJson record;
    record["analysis"] = "principal components";
    record["provenance"] = Provenance(session, options);
    record["pca_data_id"] = result.pca_data_id;
    record["bands"] = result.bands;
    record["spectra"] = result.data.Ncols();
    record["skipped_spectrum_ids"] = result.skipped_ids;
    const int b = d.Nrows();
    const double total = d.Trace();
    double cumulative = 0.0;
    ResultJson components = ResultJson::array();
    for (int p = 1; p <= b; ++p) {
        const int column = b - p + 1;
        const double lambda = d(column);
        cumulative += lambda / total;
        ResultJson vector = ResultJson::array();
        for (int r = 1; r <= b; ++r) vector.push_back(JsonNumber(v(r, column)));
        components.push_back({{"component", p},
                              {"eigenvalue", JsonNumber(lambda)},
                              {"proportion", JsonNumber(lambda / total)},
                              {"cumulative", JsonNumber(cumulative)},
                              {"eigenvector", vector}});
    }
    record["components"] = components;
    return record;
}

int Store(ProcessingSession& session, const DiagonalMatrix& d, const Matrix& v) {
    PcaKey key;
    key.sensor = session.CurrentSensor()->SensorId();
    key.study = session.StudyId();
    key.smoothing_filter = session.SmoothingFilterId();
    key.derivative = session.DerivativeId();
    key.waveband_filter = session.WavebandFilterId();
    key.stage_options = session.StageOptionKey();
    return FeatureSpaceRepository(session.Db()).StorePca(key, d, v);
}

}  // namespace

PcaDecomposition DecomposeCovariance(const Matrix& data) {
    if (data.Ncols() < 2)
        throw OrvaneError(fmt::format("The covariance of the bands needs at least two spectra; "
                                      "{} were given.",
                                      data.Ncols()));
    PcaDecomposition pca;
    WithMatrixErrors(
        "PCA failed: ",
        [&] {
            try {
                SymmetricMatrix c(data.Nrows());
                c << CovarianceOfColumns(data);
                NEWMAT::EigenValues(c, pca.values, pca.vectors);
            } catch (const NEWMAT::ConvergenceException&) {
                throw OrvaneError(
                    "PCA failed: the eigen-analysis of the covariance matrix did not converge. "
                    "Nothing was stored.");
            }
        },
        " Nothing was stored.");
    const DiagonalMatrix& d = pca.values;
    const Matrix& v = pca.vectors;
    for (int i = d.Nrows(); i >= 1; --i) pca.eigenvalues.push_back(d(i));
    const int b = v.Nrows();
    pca.components.ReSize(b, b);
    for (int k = 1; k <= b; ++k)
        for (int j = 1; j <= b; ++j) pca.components(k, j) = v(j, b - k + 1);
    return pca;
}

PcaResult RunPca(ProcessingSession& session, StudyLoader& loader, const OutputFolder& output,
                 Frontend& frontend) {
    session.RequireSensor();
    // The smallest PCT feature space must fit the sensor; without any, the score plot's two
    // components are the least a PCA has to give.
    const int m = FeatureSpaceRepository(session.Db()).SmallestPctDimension(2);
    if (session.CurrentSensor()->ElementCount() < m)
        throw OrvaneError(
            "Not enough bands for PCA!\nSelect another sensor with more bands and rerun PCA.\nOr "
            "alternatively define a new PCT feature space with dimensions <= number of bands of "
            "current sensor");
    PcaResult result;
    const std::string path = output.PathFor("pca_output", "csv");
    TextFile file(path, '#');
    if (!file.OpenForWriting()) {
        frontend.Error(CannotWriteMessage(path, file.FailureReason()));
        return result;
    }
    file.SetDelimiter(",");
    frontend.Report("Principal Component Analysis\n" +
                    DescribeChain(session, {true, true, false, false}));
    file.WriteString("PC#,Eigenvalue,Proportion,Cumulative\n");

    const Selection selection = SelectSpecies(session);
    if (selection.spectra == 0)
        throw OrvaneError(
            "No data found for PCA!\nPossibly no species with enough spectra for statistical "
            "analysis.");
    CollectData(session, loader, frontend, selection, result);
    const int n = result.data.Ncols();
    if (!result.skipped_ids.empty())
        frontend.Report(fmt::format(
            "PCA: {} of {} spectra skipped for lacking a value at one of the current chain's {} "
            "derived bands: spectrum {}.",
            result.skipped_ids.size(), n + result.skipped_ids.size(), result.bands,
            IdList(result.skipped_ids)));
    if (n < 2)
        throw OrvaneError(
            fmt::format("Not enough spectra for PCA!\nThe covariance of the bands needs at "
                        "least two spectra; {} could be used. Nothing was stored.",
                        n));

    PcaDecomposition pca;
    {
        ProgressScope progress(frontend, "PCA: Performing eigenanalysis", 2);
        pca = DecomposeCovariance(result.data);
        frontend.StepProgress(2);
    }
    const DiagonalMatrix& d = pca.values;
    const Matrix& v = pca.vectors;
    WriteOutput(file, d, v, frontend);
    result.eigenvalues = pca.eigenvalues;
    result.components = pca.components;
    if (!file.Close()) {
        frontend.Error(CannotReplaceMessage(path, file.FailureReason()));
        return result;
    }
    frontend.Report("PCA output written to file:\n" + path);
    result.pca_data_id = Store(session, d, v);
    result.path = path;
    result.json_path = WriteJsonBeside(path, PcaRecord(session, d, v, result), frontend);
    return result;
}

int SwitchToPctAfterPca(ProcessingSession& session, Frontend& frontend) {
    const auto described = [&session] {
        const FeatureSpace* fs = session.CurrentFeatureSpace();
        return fs ? session.FeatureSpaceTypeName() + " \"" + fs->Name() + "\""
                  : session.FeatureSpaceTypeName() + " (none chosen)";
    };
    const int type_before = session.FeatureSpaceType();
    const int id_before = session.FeatureSpaceId();
    const std::string before = described();
    const int chosen = SwitchToPct(session);
    if (session.FeatureSpaceType() != type_before || session.FeatureSpaceId() != id_before)
        frontend.Report("PCA: feature space changed from " + before + " to " + described() +
                        " to show the components of this analysis.");
    return chosen;
}

namespace {

std::string AxisTitle(int component, const std::vector<double>& eigenvalues) {
    double total = 0.0;
    for (double e : eigenvalues) total += e;
    const size_t k = static_cast<size_t>(component - 1);
    if (k >= eigenvalues.size() || !(total > 0.0)) return fmt::format("PC{}", component);
    return fmt::format("PC{} ({:.1f} %)", component, 100.0 * eigenvalues[k] / total);
}

ScorePlotData ScorePlot(const ProcessingSession& session, const Matrix& data, int first,
                        int second) {
    ScorePlotData plot;
    plot.title = "PCA Score Plot of study '" + session.StudyName() + "'";
    plot.first = first;
    plot.second = second;
    const FeatureSpace* fs = session.CurrentFeatureSpace();
    if (!fs || fs->Type() != kFeaturePCT) {
        plot.reason =
            "No score plot: there is no PCT feature space for this sensor; define one with at "
            "least two dimensions and rerun PCA.";
        return plot;
    }
    if (fs->Dimension() < 2) {
        plot.reason =
            fmt::format("No score plot: the PCT feature space \"{}\" has {} component; the "
                        "plot needs two.",
                        fs->Name(), fs->Dimension());
        return plot;
    }
    const Matrix& p = fs->Transform();
    if (p.Ncols() != data.Nrows() || p.Nrows() < 2) {
        plot.reason =
            fmt::format("No score plot: the PCT feature space \"{}\" projects {} bands but "
                        "the analysis has {}.",
                        fs->Name(), p.Ncols(), data.Nrows());
        return plot;
    }
    const int dims = std::min(fs->Dimension(), p.Nrows());
    if (first < 1 || second < 1 || first > dims || second > dims || first == second) {
        plot.reason = fmt::format(
            "No score plot: components {} and {} cannot be shown; choose two different "
            "components from 1 to {} (the PCT feature space \"{}\").",
            first, second, dims, fs->Name());
        return plot;
    }
    const Matrix sx = p.Row(first) * data;
    const Matrix sy = p.Row(second) * data;
    const int n = data.Ncols();
    plot.points.ReSize(n, 3);
    for (int r = 1; r <= n; ++r) {
        plot.points(r, 1) = sx(1, r);
        plot.points(r, 2) = sy(1, r);
        plot.points(r, 3) = 1.0;
    }
    plot.x_title = fmt::format("PC{}", first);
    plot.y_title = fmt::format("PC{}", second);
    return plot;
}

}  // namespace

ScorePlotData PcaScorePlot(const ProcessingSession& session, const Matrix& data) {
    return ScorePlot(session, data, 1, 2);
}

ScorePlotData PcaScorePlot(const ProcessingSession& session, const PcaResult& result, int first,
                           int second) {
    const Matrix& p = result.components;
    const int b = p.Nrows();
    ScorePlotData plot;
    if (b == 0 || p.Ncols() != result.data.Nrows()) {
        plot = ScorePlot(session, result.data, first, second);
    } else {
        plot.title = "PCA Score Plot of study '" + session.StudyName() + "'";
        plot.first = first;
        plot.second = second;
        if (first < 1 || second < 1 || first > b || second > b || first == second) {
            plot.reason = fmt::format(
                "No score plot: components {} and {} cannot be shown; choose two different "
                "components from 1 to {}.",
                first, second, b);
            return plot;
        }
        const Matrix sx = p.Row(first) * result.data;
        const Matrix sy = p.Row(second) * result.data;
        const int n = result.data.Ncols();
        plot.points.ReSize(n, 3);
        for (int r = 1; r <= n; ++r) {
            plot.points(r, 1) = sx(1, r);
            plot.points(r, 2) = sy(1, r);
            plot.points(r, 3) = 1.0;
        }
    }
    if (!plot.Ready()) return plot;
    if (result.species.size() == static_cast<size_t>(result.data.Ncols()))
        plot.species = result.species;
    plot.x_title = AxisTitle(first, result.eigenvalues);
    plot.y_title = AxisTitle(second, result.eigenvalues);
    plot.eigenvalues = result.eigenvalues;
    return plot;
}

}  // namespace orvane
