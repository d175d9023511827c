// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

#include "forms/species_mapping.h"
#include "ui/qt_frontend.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

namespace orvane {

class WorkbenchDocument;

// The dialogs of species maps.

// "Map Image": the image to classify with the loaded library, the class raster (and the
// optional rules raster) to write, the threshold that leaves pixels unclassified, a window of
// the image and the names that label the classes. OK maps on the worker thread, with progress
// and Cancel in the status bar.
class MapImageDialog : public QDialog {
    Q_OBJECT

  public:
    MapImageDialog(WorkbenchDocument& doc, QtFrontend& frontend, JobRunner job, QWidget* parent);

    // Called on the window's thread with each finished map.
    void SetResultShown(std::function<void(const MapImageResult&)> shown) {
        shown_ = std::move(shown);
    }
    void Open();
    // The options the fields say; throws OrvaneError for a field that is missing or wrong.
    MapImageOptions Options() const;
    void accept() override;

    QLineEdit* ImageField() const { return image_; }
    QLineEdit* ClassesField() const { return classes_; }
    QCheckBox* RulesBox() const { return with_rules_; }
    QComboBox* ThresholdKind() const { return threshold_kind_; }
    QDoubleSpinBox* ThresholdValue() const { return threshold_value_; }
    QCheckBox* WindowBox() const { return with_window_; }

  private:
    void ThresholdKindChanged();

    WorkbenchDocument& doc_;
    QtFrontend& frontend_;
    JobRunner job_;
    std::function<void(const MapImageResult&)> shown_;
    QLineEdit* image_;
    QLineEdit* wavelengths_;
    QLineEdit* classes_;
    QCheckBox* with_rules_;
    QLineEdit* rules_;
    QComboBox* threshold_kind_;
    QDoubleSpinBox* threshold_value_;
    QCheckBox* with_window_;
    QSpinBox* window_[4];
    QComboBox* names_;
};

// "Map Accuracy": a class map, its reference labels (a raster of its grid or a CSV of points)
// and an optional mapping of reference classes to map classes. OK assesses on the worker thread
// and shows the error matrix and the area-adjusted estimates in the Result Tables dock.
class MapAccuracyDialog : public QDialog {
    Q_OBJECT

  public:
    MapAccuracyDialog(WorkbenchDocument& doc, QtFrontend& frontend, JobRunner job, QWidget* parent);

    void SetResultShown(std::function<void(const std::vector<ResultTable>&)> shown) {
        shown_ = std::move(shown);
    }
    // Shows the dialog, proposing `map` (the last map made) when its field is empty.
    void Open(const std::string& map);
    void accept() override;

    QLineEdit* MapField() const { return map_; }
    QLineEdit* ReferenceField() const { return reference_; }
    QLineEdit* ClassesField() const { return classes_; }

  private:
    WorkbenchDocument& doc_;
    QtFrontend& frontend_;
    JobRunner job_;
    std::function<void(const std::vector<ResultTable>&)> shown_;
    QLineEdit* map_;
    QLineEdit* reference_;
    QLineEdit* classes_;
};

}  // namespace orvane
