// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/matrix.h"

namespace orvane {

class Frontend;
class ProcessingSession;
class OutputFolder;
class StudyLoader;

// What a principal component analysis leaves behind.
struct PcaResult {
    std::string path;  // pca_output.csv; empty when the file could not be opened
    std::string json_path;  // pca_output.json beside it; empty when not written
    int pca_data_id = 0;
    int bands = 0;  // b: the current chain's derived bands (Chain::DerivedBands)
    std::vector<int> skipped_ids;  // spectra left out for lacking a value at one of them
    Matrix data;      // X, b x n: one uncentred column per spectrum used
    std::vector<std::string> species;  // the species folder of each column of X
    std::vector<double> eigenvalues;   // from the largest down
    Matrix components;  // b x b: row k is the eigenvector of the k-th largest eigenvalue
};

// The eigen-analysis of the sample covariance of the columns of `data` (b bands x n spectra,
// divisor n - 1, unscaled), by Householder tridiagonalisation and QL iterations.
struct PcaDecomposition {
    DiagonalMatrix values;  // b eigenvalues, ascending, as the pca_data row stores them
    Matrix vectors;         // b x b: column k the eigenvector of values(k)
    std::vector<double> eigenvalues;  // from the largest down
    Matrix components;  // b x b: row k is the eigenvector of the k-th largest eigenvalue
};
// Throws OrvaneError for fewer than two spectra (the covariance needs two) and when the
// eigen-analysis does not converge.
PcaDecomposition DecomposeCovariance(const Matrix& data);

// Principal components of the current study's enabled spectra (species with at least the
// study's minimum number) at the derived stage of the current chain. The analysis is on the
// sample covariance of the bands (divisor n - 1, unscaled), decomposed by Householder
// tridiagonalisation and QL iterations (Newmat's EigenValues, the same decomposition as its
// Jacobi at a fraction of the time for hundreds of bands). Writes pca_output.csv (eigenvalues
// from the largest down with their proportions and cumulative proportions, then the
// eigenvectors in the same order) and stores the eigenvalues (ascending) and eigenvectors
// (columns in ascending eigenvalue order) in the pca_data row of the sensor, study, smoothing
// filter and derivative, inserted or updated in one transaction with a new build_date. Then
// writes pca_output.json beside the file: the same numbers with the settings and that row.
//
// Refusals throw OrvaneError and store nothing: too few sensor bands for the smallest PCT
// feature space (2 when there is none), no species with enough spectra, fewer than two usable
// spectra, an eigen-analysis that does not converge. A file that cannot be opened is reported
// and gives a result with an empty path.
PcaResult RunPca(ProcessingSession& session, StudyLoader& loader, const OutputFolder& output,
                 Frontend& frontend);

// After a PCA both faces offer its components as the feature space: switches the session to
// PCT (SwitchToPct) and, when that changes the feature space, reports one line saying what it
// was, what it is now and why. Returns the PCT feature space chosen (0 when there is none).
int SwitchToPctAfterPca(ProcessingSession& session, Frontend& frontend);

// The score plot of a PCA: the first two principal components of every spectrum (S = P X
// with P the projection of the session's current PCT feature space and X uncentred), one row
// per spectrum with columns x, y and 1.0. Without a current PCT feature space of at least two
// components (or one of another number of bands) there is no plot and `reason` says why.
struct ScorePlotData {
    Matrix points;  // n x 3
    std::vector<std::string> species;  // the species of each row; empty when unknown
    std::string x_title, y_title;      // "PC1 (62.3 %)": component and explained variance
    int first = 1, second = 2;         // the components on x and y
    std::vector<double> eigenvalues;   // the analysis's, largest first; empty when unknown
    std::string title;
    std::string reason;
    bool Ready() const { return reason.empty(); }
};
ScorePlotData PcaScorePlot(const ProcessingSession& session, const Matrix& data);

// The score plot of components `first` (x) and `second` (y) of a PCA, each row labelled with
// its species and each axis titled with its component's share of the total variance. The
// analysis's own eigenvectors project the spectra, so any two different components of it can be
// shown; a result without them falls back to the current PCT feature space as above.
// Components out of range or the same one twice are refused with a reason.
ScorePlotData PcaScorePlot(const ProcessingSession& session, const PcaResult& result,
                           int first = 1, int second = 2);

}  // namespace orvane
