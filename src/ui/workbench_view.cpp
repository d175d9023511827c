// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/workbench_view.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

#include "chain/chain_options.h"
#include "chain/derivative_settings.h"
#include "forms/main_form.h"
#include "forms/stage_status.h"
#include "spectra/spectrum.h"

namespace orvane {

namespace {

QComboBox* MakeList(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    // As wide as its longest entry (at least 24 characters), so no choice is cut off.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setMinimumContentsLength(24);
    return combo;
}

// Refills a combo box only when its entries differ, so an open popup is not disturbed.
void ShowList(QComboBox* combo, const FormList& list) {
    const QSignalBlocker block(combo);
    bool same = combo->count() == list.Count();
    for (int i = 0; same && i < list.Count(); ++i) {
        const FormItem& item = list.items[static_cast<size_t>(i)];
        same = combo->itemText(i).toStdString() == item.text &&
               combo->itemData(i).toInt() == item.data;
    }
    if (!same) {
        combo->clear();
        for (const FormItem& item : list.items)
            combo->addItem(QString::fromStdString(item.text), item.data);
    }
    combo->setCurrentIndex(list.selected);
}

// A scroll area that asks for room to show its whole widget and scrolls only when it gets less.
class WholeScrollArea : public QScrollArea {
  public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        const int bar = verticalScrollBar()->sizeHint().width();
        return widget()->sizeHint() + QSize(2 * frameWidth() + bar, 2 * frameWidth());
    }
};

QLabel* Label(const char* text, QWidget* buddy) {
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setBuddy(buddy);
    return label;
}

}  // namespace

WorkbenchView::WorkbenchView(MainForm& form, WorkPoster post, QWidget* parent)
    : QWidget(parent), form_(form), post_(std::move(post)) {
    setObjectName(QStringLiteral("form"));
    study_ = MakeList(this, "study");
    smoothing_ = MakeList(this, "smoothing");
    smoothing_edit_ = new QPushButton(QStringLiteral("Edit"), this);
    smoothing_edit_->setObjectName(QStringLiteral("smoothingEdit"));
    sensor_ = MakeList(this, "sensor");
    derivative_order_ = new QSpinBox(this);
    derivative_order_->setObjectName(QStringLiteral("derivativeOrder"));
    derivative_order_->setRange(0, kMaxDerivativeOrder);
    // Typing "12" must not create the rows of order 1 on the way.
    derivative_order_->setKeyboardTracking(false);
    derivative_edit_ = new QPushButton(QStringLiteral("Edit"), this);
    derivative_edit_->setObjectName(QStringLiteral("derivativeEdit"));
    feature_space_ = MakeList(this, "featureSpace");
    classifier_ = MakeList(this, "classifier");
    loaded_ = new QListWidget(this);
    loaded_->setObjectName(QStringLiteral("loadedSpectra"));
    loaded_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    classify_ = new QPushButton(QStringLiteral("Indiv. Classify"), this);
    classify_->setObjectName(QStringLiteral("indivClassify"));
    remove_ = new QPushButton(QStringLiteral("Remove"), this);
    remove_->setObjectName(QStringLiteral("removeLoaded"));
    remove_->setToolTip(QStringLiteral("Take the selected spectra off the list (Delete)."));
    library_status_ = new QLabel(this);
    library_status_->setObjectName(QStringLiteral("libraryStatus"));
    stage_status_ = new QLabel(this);
    stage_status_->setObjectName(QStringLiteral("stageStatus"));
    stage_status_->setWordWrap(true);
    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("report"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // The two choices of buttons are rows of the grid, not boxes of their own, so the whole
    // form fits above a dock.
    auto* method_box = new QWidget(this);
    method_group_ = new QButtonGroup(this);
    auto* method_layout = new QHBoxLayout(method_box);
    method_layout->setContentsMargins(0, 0, 0, 0);
    for (const Choice<DerivativeMethod>& c : kDerivativeMethods) {
        auto* button = new QRadioButton(QString::fromUtf8(c.label), method_box);
        method_group_->addButton(button, c.value);
        method_layout->addWidget(button);
    }
    method_layout->addWidget(derivative_edit_);

    auto* type_box = new QWidget(this);
    type_group_ = new QButtonGroup(this);
    auto* type_layout = new QHBoxLayout(type_box);
    type_layout->setContentsMargins(0, 0, 0, 0);
    for (const Choice<FeatureType>& c : kFeatureTypes) {
        auto* button = new QRadioButton(QString::fromUtf8(c.label), type_box);
        type_group_->addButton(button, c.value);
        type_layout->addWidget(button);
    }
    type_layout->addStretch();

    auto* chain = new QGroupBox(QStringLiteral("Processing"), this);
    auto* grid = new QGridLayout(chain);
    int row = 0;
    grid->addWidget(Label("Current Stud&y", study_), row, 0);
    grid->addWidget(study_, row++, 1, 1, 2);
    grid->addWidget(Label("Sm&oothing Filter", smoothing_), row, 0);
    grid->addWidget(smoothing_, row, 1);
    grid->addWidget(smoothing_edit_, row++, 2);
    grid->addWidget(Label("Curren&t Sensor", sensor_), row, 0);
    grid->addWidget(sensor_, row++, 1, 1, 2);
    grid->addWidget(Label("D&erivative order", derivative_order_), row, 0);
    derivative_order_->setMinimumWidth(70);
    grid->addWidget(derivative_order_, row++, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("Calculation method")), row, 0);
    grid->addWidget(method_box, row++, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Feature Space Types")), row, 0);
    grid->addWidget(type_box, row++, 1, 1, 2);
    grid->addWidget(Label("Feat&ure Spaces", feature_space_), row, 0);
    grid->addWidget(feature_space_, row++, 1, 1, 2);
    grid->addWidget(Label("Cl&assifier", classifier_), row, 0);
    grid->addWidget(classifier_, row++, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Library Status")), row, 0);
    grid->addWidget(library_status_, row++, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Optional Stages")), row, 0);
    grid->addWidget(stage_status_, row++, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* spectra = new QGroupBox(QStringLiteral("Loaded Spectra"), this);
    auto* spectra_layout = new QVBoxLayout(spectra);
    spectra_layout->addWidget(loaded_);
    auto* spectra_buttons = new QHBoxLayout;
    spectra_buttons->addWidget(classify_);
    spectra_buttons->addWidget(remove_);
    spectra_layout->addLayout(spectra_buttons);

    // The form and the report share the width as the user drags the splitter between them;
    // the loaded spectra sit under the report, so a dock below takes height from neither
    // the settings nor the report alone.
    auto* left_side = new QWidget(this);
    auto* left = new QVBoxLayout(left_side);
    left->setContentsMargins(0, 0, 0, 0);
    // A small window scrolls the Processing settings instead of squeezing them to nothing.
    auto* chain_scroll = new WholeScrollArea(left_side);
    chain_scroll->setObjectName(QStringLiteral("processingScroll"));
    chain_scroll->setWidget(chain);
    chain_scroll->setWidgetResizable(true);
    chain_scroll->setFrameShape(QFrame::NoFrame);
    chain_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    chain_scroll->setMinimumHeight(120);
    chain_scroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    left->addWidget(chain_scroll);
    left->addStretch();
    auto* right_side = new QWidget(this);
    auto* right = new QVBoxLayout(right_side);
    right->setContentsMargins(0, 0, 0, 0);
    right->addWidget(Label("&Report", report_));
    report_->setMinimumHeight(60);
    right->addWidget(report_, 1);
    // The loaded spectra keep a few rows; the report takes the rest of the height.
    loaded_->setMinimumHeight(40);
    loaded_->setMaximumHeight(80);
    right->addWidget(spectra);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("formReportSplitter"));
    splitter_->addWidget(left_side);
    splitter_->addWidget(right_side);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    form_side_ = chain_scroll;
    spectra_box_ = spectra;
    auto* top = new QHBoxLayout(this);
    top->addWidget(splitter_);

    // What each chain setting does, where the user looks for it.
    study_->setToolTip(QStringLiteral(
        "The study whose spectra, chain settings and libraries the commands work on."));
    smoothing_->setToolTip(QStringLiteral(
        "Smoothing of the filtered spectra: none, or a Savitzky-Golay filter computed as a moving "
        "window or by FFT. \"Edit\" sets its window size and polynomial order."));
    smoothing_edit_->setToolTip(QStringLiteral("Window size and polynomial order of the smoothing."));
    sensor_->setToolTip(QStringLiteral(
        "The sensor whose bands the smoothed spectra are synthesized on; libraries and analyses "
        "work on its bands."));
    derivative_order_->setToolTip(QStringLiteral(
        "Order of the derivative taken of the synthesized spectra (0: none). Derivatives bring "
        "out the shape of absorption features."));
    derivative_edit_->setToolTip(
        QStringLiteral("Window size and polynomial order of the Savitzky-Golay derivative."));
    method_group_->button(0)->setToolTip(
        QStringLiteral("The derivative as repeated differences of neighbouring bands."));
    method_group_->button(1)->setToolTip(
        QStringLiteral("The derivative of a local polynomial fit (Savitzky-Golay)."));
    type_group_->button(0)->setToolTip(
        QStringLiteral("Feature spaces of band values or band-range means (DI)."));
    type_group_->button(1)->setToolTip(
        QStringLiteral("Feature spaces of normalised differences of two bands (NTBI)."));
    type_group_->button(2)->setToolTip(QStringLiteral(
        "Feature spaces of principal components (PCT); offered after a PCA of the current chain."));
    feature_space_->setToolTip(QStringLiteral(
        "The features a library is built on and spectra are classified by."));
    classifier_->setToolTip(QStringLiteral(
        "How a spectrum's distance to each library class is measured when classifying."));
    library_status_->setToolTip(QStringLiteral(
        "\"Ready\" when a library of the current chain is built and newer than every setting "
        "and spectrum it depends on; then how many of its classes the classifier models (a "
        "class whose covariance the feature space cannot estimate is not modelled by "
        "Mahalanobis)."));
    loaded_->setToolTip(QStringLiteral("Spectra opened from files (File, Open)."));
    classify_->setToolTip(QStringLiteral("Classify the selected loaded spectra with the library."));

    // `activated` fires only for the user's choice, never for Mirror()'s own updates. A list
    // holding database rows is chosen by the row's id, which the work finds again in the list
    // as it is by then: the work before may have refilled it.
    connect(study_, &QComboBox::activated, this, [this](int i) {
        const int id = study_->itemData(i).toInt();
        Post(study_, id, [this, id] { form_.SelectStudy(form_.Studies().IndexOf(id)); });
    });
    connect(smoothing_, &QComboBox::activated, this, [this](int i) {
        Post(smoothing_, smoothing_->itemData(i).toInt(), [this, i] { form_.SelectSmoothing(i); });
    });
    connect(sensor_, &QComboBox::activated, this, [this](int i) {
        const int id = sensor_->itemData(i).toInt();
        Post(sensor_, id, [this, id] { form_.SelectSensor(form_.Sensors().IndexOf(id)); });
    });
    connect(feature_space_, &QComboBox::activated, this, [this](int i) {
        const int id = feature_space_->itemData(i).toInt();
        Post(feature_space_, id,
             [this, id] { form_.SelectFeatureSpace(form_.FeatureSpaces().IndexOf(id)); });
    });
    connect(classifier_, &QComboBox::activated, this, [this](int i) {
        const int kind = classifier_->itemData(i).toInt();
        Post(classifier_, kind,
             [this, kind] { form_.SelectClassifier(form_.Classifiers().IndexOf(kind)); });
    });
    connect(derivative_order_, &QSpinBox::valueChanged, this, [this](int order) {
        Post(derivative_order_, order, [this, order] { form_.SetDerivativeOrder(order); });
    });
    connect(method_group_, &QButtonGroup::idClicked, this, [this](int method) {
        Post(method_group_, method, [this, method] { form_.SetDerivativeMethod(method); });
    });
    connect(type_group_, &QButtonGroup::idClicked, this, [this](int type) {
        Post(type_group_, type, [this, type] { form_.SetFeatureSpaceType(type); });
    });
    connect(classify_, &QPushButton::clicked, this, [this] {
        std::vector<int> rows;
        for (const QModelIndex& index : loaded_->selectionModel()->selectedRows())
            rows.push_back(index.row());
        post_([this, rows] { form_.IndivClassify(rows); }, {});
    });
    auto remove = [this] {
        std::vector<int> rows;
        for (const QModelIndex& index : loaded_->selectionModel()->selectedRows())
            rows.push_back(index.row());
        post_([this, rows] { form_.RemoveLoadedSpectra(rows); }, {});
    };
    connect(remove_, &QPushButton::clicked, this, remove);
    auto* del = new QShortcut(QKeySequence::Delete, loaded_);
    del->setContext(Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, remove);
    connect(smoothing_edit_, &QPushButton::clicked, this, &WorkbenchView::smoothingEditRequested);
    connect(derivative_edit_, &QPushButton::clicked, this, &WorkbenchView::derivativeEditRequested);
}

void WorkbenchView::Post(QObject* control, int value, std::function<void()> work) {
    pending_[control] = value;
    post_(std::move(work), {});
}

void WorkbenchView::ShowPending() {
    for (const auto& [control, value] : pending_) {
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            const int at = combo->findData(value);
            if (at >= 0) combo->setCurrentIndex(at);
        } else if (control == derivative_order_) {
            const QSignalBlocker block(derivative_order_);
            derivative_order_->setValue(value);
        } else if (auto* group = qobject_cast<QButtonGroup*>(control)) {
            if (group->button(value)) group->button(value)->setChecked(true);
        }
    }
}

void WorkbenchView::Mirror(const FormState& state) {
    ShowList(study_, state.studies);
    ShowList(smoothing_, state.smoothing);
    ShowList(sensor_, state.sensors);
    ShowList(feature_space_, state.feature_spaces);
    ShowList(classifier_, state.classifiers);
    {
        const QSignalBlocker block(derivative_order_);
        derivative_order_->setValue(state.derivative_order);
    }
    for (QWidget* w : {static_cast<QWidget*>(smoothing_), static_cast<QWidget*>(derivative_order_)})
        w->setEnabled(state.chain_controls);
    smoothing_edit_->setEnabled(state.smoothing_edit);
    for (QAbstractButton* b : method_group_->buttons())
        b->setEnabled(state.derivative_method_enabled);
    method_group_->button(state.derivative_method)->setChecked(true);
    derivative_edit_->setEnabled(state.derivative_edit);
    type_group_->button(state.feature_space_type)->setChecked(true);
    classify_->setEnabled(state.classify_reason.empty());
    classify_->setToolTip(QString::fromStdString(
        state.classify_reason.empty() ? "Classify the selected spectra with the library"
                                      : state.classify_reason));
    remove_->setEnabled(!state.loaded_spectra.empty());
    library_status_->setText(QString::fromStdString(state.library_status));
    stage_status_->setText(QString::fromStdString(StageStatusText(state.stages)));
    stage_status_->setToolTip(QString::fromStdString(StageStatusTip(state.stages)));

    const std::vector<std::string>& names = state.loaded_spectra;
    if (loaded_->count() > static_cast<int>(names.size())) loaded_->clear();
    for (int i = loaded_->count(); i < static_cast<int>(names.size()); ++i)
        loaded_->addItem(QString::fromStdString(names[static_cast<size_t>(i)]));
    ShowPending();
}

QSize WorkbenchView::sizeHint() const {
    // Tall enough for the whole Processing form; the report and the loaded spectra beside it
    // make do with that height, so a dock below gets the rest.
    QSize hint = QWidget::sizeHint();
    const QMargins margins = layout()->contentsMargins();
    hint.setHeight(form_side_->sizeHint().height() + margins.top() + margins.bottom());
    return hint;
}

QByteArray WorkbenchView::SplitterState() const { return splitter_->saveState(); }

void WorkbenchView::RestoreSplitter(const QByteArray& state) {
    if (!state.isEmpty()) splitter_->restoreState(state);
}

void WorkbenchView::SetFormEnabled(bool enabled) {
    form_side_->setEnabled(enabled);
    spectra_box_->setEnabled(enabled);
}

void WorkbenchView::ShowReport(const std::string& text) {
    report_->setPlainText(QString::fromStdString(text));
    QScrollBar* bar = report_->verticalScrollBar();
    bar->setValue(bar->maximum());
}

}  // namespace orvane
