// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a server far away: every packet to and from the server waits 150 ms in a proxy,
// and the window keeps answering while the choices the user made in quick succession are done
// one after the other.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <deque>
#include <fstream>
#include <thread>

#include "forms/menu_command.h"
#include "support/mixing_study.h"
#include "ui/abundance_settings_dialog.h"
#include "ui/create_study_dialog.h"
#include "ui/endmember_selection_dialog.h"
#include "ui/feature_space_dialog.h"
#include "ui/filter_details_dialog.h"
#include "ui/import_sensor_dialog.h"
#include "ui/map_image_dialog.h"
#include "ui/orvane_application.h"
#include "ui/species_names_dialog.h"
#include "ui/spectra_plot_window.h"
#include "ui/waveband_filter_dialog.h"
#include "ui/workbench.h"

namespace orvane {

namespace {

using Clock = std::chrono::steady_clock;

// A TCP proxy on 127.0.0.1 that forwards to the test server and holds every chunk it reads,
// either way, for `delay` before writing it on.
class LatencyProxy {
  public:
    LatencyProxy(const std::string& host, int port) : host_(host), port_(port) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&at), size) != 0 ||
            listen(listener_, 8) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            throw std::runtime_error("the proxy cannot listen");
        listen_port_ = ntohs(at.sin_port);
        thread_ = std::thread([this] { Loop(); });
    }
    ~LatencyProxy() {
        stop_ = true;
        thread_.join();
        for (Pipe& p : pipes_) close(p.from);
        close(listener_);
    }
    int Port() const { return listen_port_; }
    void SetDelay(std::chrono::milliseconds delay) { delay_ms_ = static_cast<int>(delay.count()); }

  private:
    // One direction of a connection: what was read from `from` waits to be written to `to`.
    struct Pipe {
        int from;
        int to;
        std::deque<std::pair<Clock::time_point, std::string>> waiting;
        bool ended = false;
    };

    void Accept() {
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port_));
        inet_pton(AF_INET, host_ == "localhost" ? "127.0.0.1" : host_.c_str(), &to.sin_addr);
        if (connect(server, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            close(client);
            close(server);
            return;
        }
        pipes_.push_back({client, server, {}, false});
        pipes_.push_back({server, client, {}, false});
    }

    void Loop() {
        while (!stop_) {
            std::vector<pollfd> polled{{listener_, POLLIN, 0}};
            for (const Pipe& p : pipes_) polled.push_back({p.from, p.ended ? short(0) : short(POLLIN), 0});
            int wait_ms = 10;
            const Clock::time_point now = Clock::now();
            for (const Pipe& p : pipes_)
                if (!p.waiting.empty())
                    wait_ms = std::min<int>(
                        wait_ms, static_cast<int>(std::max<int64_t>(
                                     0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                            p.waiting.front().first - now)
                                            .count())));
            poll(polled.data(), polled.size(), wait_ms);
            if (polled[0].revents & POLLIN) Accept();
            for (size_t i = 0; i + 1 < polled.size() && i < pipes_.size(); ++i) {
                if (!(polled[i + 1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buffer[65536];
                const ssize_t got = read(pipes_[i].from, buffer, sizeof buffer);
                if (got <= 0) {
                    pipes_[i].ended = true;
                    continue;
                }
                pipes_[i].waiting.emplace_back(Clock::now() + std::chrono::milliseconds(delay_ms_),
                                               std::string(buffer, static_cast<size_t>(got)));
            }
            for (Pipe& p : pipes_) {
                while (!p.waiting.empty() && p.waiting.front().first <= Clock::now()) {
                    const std::string& data = p.waiting.front().second;
                    size_t sent = 0;
                    while (sent < data.size()) {
                        const ssize_t n = send(p.to, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
                        if (n <= 0) break;
                        sent += static_cast<size_t>(n);
                    }
                    p.waiting.pop_front();
                }
                if (p.ended && p.waiting.empty()) shutdown(p.to, SHUT_WR);
            }
        }
    }

    std::string host_;
    int port_;
    int listener_ = -1;
    int listen_port_ = 0;
    std::atomic<int> delay_ms_{0};
    std::atomic<bool> stop_{false};
    std::vector<Pipe> pipes_;  // the proxy thread's alone
    std::thread thread_;
};

// The largest pause of the event loop while it runs, as a timer every 20 ms sees it.
class GapMeter {
  public:
    GapMeter() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            largest_ = std::max(largest_, clock_.restart());
            if (tick_) tick_();
        });
    }
    void Start(std::function<void()> tick = {}) {
        tick_ = std::move(tick);
        largest_ = 0;
        clock_.start();
        timer_.start();
    }
    qint64 Stop() {
        timer_.stop();
        return std::max(largest_, clock_.elapsed());
    }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 largest_ = 0;
    std::function<void()> tick_;
};

void Pick(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// The workbench's document and window connected through `proxy` rather than to the server.
void ConnectThrough(test::Workbench& w, const LatencyProxy& proxy) {
    const ConnectionParams params = w.scratch.Params();
    const std::string config = w.scratch.WriteConfig(w.dir.Path());
    std::string text = test::FileText(config);
    text.replace(text.find("server " + params.host), ("server " + params.host).size(),
                 "server 127.0.0.1");
    const std::string port = "port " + std::to_string(params.port);
    text.replace(text.find(port), port.size(), "port " + std::to_string(proxy.Port()));
    std::ofstream(config) << text;
    w.doc = OpenBesideEventLoop(config);
    w.frame = std::make_unique<MainWindow>(*w.doc);
    w.frame->Frontend().SetMessageBoxes(false);
    w.frame->show();
}

}  // namespace

class SlowNetworkTest : public QObject {
    Q_OBJECT

    test::TempDir settings_dir;

  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settings_dir.Path()));
    }

    // A study, a sensor and a feature space chosen one after the other without waiting, on a
    // server 300 ms away (there and back): the event loop never pauses for 100 ms, the lists
    // show the user's choices all the while, the cursor says work is pending, and at the end
    // the form holds the three choices, done in the order made (the study or the sensor done
    // last would have reset the feature space to the first of its list).
    void choicesMadeInQuickSuccessionKeepTheWindowAnswering() {
        test::Workbench w("uislow");
        const std::vector<int> ids =
            w.ArrangeStudies({"landsat8_oli", "sentinel2a_msi"}, {"North", "South"});
        const ConnectionParams params = w.scratch.Params();
        LatencyProxy proxy(params.host, static_cast<int>(params.port));
        ConnectThrough(w, proxy);
        GapMeter meter;

        // Opening the window: the lists fill while the window answers (on a nearer server, as
        // the first fill takes some thirty round trips).
        proxy.SetDelay(std::chrono::milliseconds(40));
        meter.Start();
        w.frame->InitialUpdate();
        QVERIFY(test::Idle(*w.frame));
        qint64 gap = meter.Stop();
        QVERIFY2(gap < 100, qPrintable(QString::number(gap)));
        WorkbenchView& v = w.View();
        QCOMPARE(v.StudyList()->count(), 2);
        QCOMPARE(v.SensorList()->count(), 2);
        QVERIFY(v.FeatureSpaceList()->count() >= 2);
        QCOMPARE(w.doc->Session().StudyId(), ids[0]);

        const int study = v.StudyList()->itemData(1).toInt();
        const int sensor = v.SensorList()->itemData(1).toInt();
        const int space = v.FeatureSpaceList()->itemData(1).toInt();
        QVERIFY(sensor != w.doc->Session().CurrentSensor()->SensorId());
        QVERIFY(space != w.doc->Session().FeatureSpaceId());
        proxy.SetDelay(std::chrono::milliseconds(150));
        bool shown = true;
        bool busy = false;
        bool asked = false;
        meter.Start([&] {
            if (!asked || !w.frame->JobRunning()) return;
            busy = busy || QApplication::overrideCursor() != nullptr;
            shown = shown && v.StudyList()->currentData().toInt() == study &&
                    v.SensorList()->currentData().toInt() == sensor &&
                    v.FeatureSpaceList()->currentData().toInt() == space;
        });
        QElapsedTimer asking;
        asking.start();
        Pick(v.StudyList(), 1);
        QTest::qWait(30);
        Pick(v.SensorList(), 1);
        QTest::qWait(30);
        Pick(v.FeatureSpaceList(), 1);
        asked = true;
        QVERIFY2(asking.elapsed() < 200, qPrintable(QString::number(asking.elapsed())));
        QVERIFY(w.frame->JobRunning());
        QVERIFY(test::Idle(*w.frame));
        gap = meter.Stop();
        QVERIFY2(gap < 100, qPrintable(QString::number(gap)));
        QVERIFY(shown);
        QVERIFY(busy);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        proxy.SetDelay(std::chrono::milliseconds(0));

        QCOMPARE(w.frame->Frontend().LastError(), std::string());
        QCOMPARE(w.doc->Session().StudyId(), study);
        QCOMPARE(w.doc->Session().CurrentSensor()->SensorId(), sensor);
        QCOMPARE(w.doc->Session().FeatureSpaceId(), space);
        QCOMPARE(v.StudyList()->currentData().toInt(), study);
        QCOMPARE(v.SensorList()->currentData().toInt(), sensor);
        QCOMPARE(v.FeatureSpaceList()->currentData().toInt(), space);
        QCOMPARE(w.frame->State().selections.feature_space_id, space);
        QCOMPARE(w.frame->windowTitle().contains(QStringLiteral("South")), true);
        w.frame.reset();
        w.doc.reset();
    }

    // The connection, the dialogs that read or store rows, and the spectra plot's species and
    // proposed file name, on the same far server: connecting lets events through, each dialog shows at once with OK
    // disabled and fills when its rows arrive, and what OK stores is done behind the window;
    // the event loop never pauses for 100 ms.
    void dialogsOpenAtOnceAndFillWhileTheWindowAnswers() {
        test::Workbench w("uislowdialogs");
        const int study = test::InsertGrassSoilMixStudy(w.scratch.Admin(), "Mixing study");
        w.scratch.Admin().Execute(
            Sql("update species set endmember = 'Y' where study_id = %i and folder_name in "
                "('grass', 'soil')",
                study));
        test::WriteMixingSensor(w.dir.File("six.txt"));
        w.ImportSensorFile(w.dir.File("six.txt"));
        const ConnectionParams params = w.scratch.Params();
        LatencyProxy proxy(params.host, static_cast<int>(params.port));
        // Connecting asks a dozen questions, beside the event loop (on a nearer server).
        proxy.SetDelay(std::chrono::milliseconds(40));
        GapMeter meter;
        meter.Start();
        ConnectThrough(w, proxy);
        qint64 gap = meter.Stop();
        QVERIFY2(gap < 100, qPrintable(QString::number(gap)));
        proxy.SetDelay(std::chrono::milliseconds(0));
        w.frame->InitialUpdate();
        QVERIFY(test::Idle(*w.frame));
        MainWindow& frame = *w.frame;
        const auto error = [&] { return frame.Frontend().LastError(); };
        proxy.SetDelay(std::chrono::milliseconds(150));
        meter.Start();

        // Species Names, and Map Image asked behind it, show before the rows come.
        frame.RunCommand(kCmdSpeciesNames);
        auto* names = frame.findChild<SpeciesNamesDialog*>();
        QVERIFY(names && names->isVisible());
        QVERIFY(!names->OkButton()->isEnabled() && !names->Filled());
        frame.RunCommand(kCmdMapImage);
        QVERIFY(frame.MapImage()->isVisible());
        QVERIFY(frame.JobRunning());
        frame.MapImage()->reject();
        QVERIFY(test::Idle(frame));
        QVERIFY(names->Filled() && names->OkButton()->isEnabled());
        QCOMPARE(names->Table()->rowCount(), 3);
        QCOMPARE(names->Table()->item(0, 0)->text(), QStringLiteral("grass"));
        names->Table()->item(0, 2)->setText(QStringLiteral("Poa annua"));
        names->accept();
        QVERIFY(!names->OkButton()->isEnabled() && names->isVisible());
        QVERIFY(test::Idle(frame));
        QVERIFY2(error().empty(), error().c_str());
        QCOMPARE(test::Count(w.scratch.Admin(),
                             "select count(*) from species where latin_name = 'Poa annua'"),
                 1);

        // Abundance Settings: its classes, then a class's endmembers.
        frame.RunCommand(kCmdAbundanceSettings);
        AbundanceSettingsDialog* mixing = frame.AbundanceSettings();
        QVERIFY(mixing->isVisible() && mixing->Waiting());
        QVERIFY(!mixing->findChild<QPushButton*>(QStringLiteral("ok"))->isEnabled());
        QVERIFY(test::Idle(frame));
        QCOMPARE(test::Items(mixing->Classes()), QStringList{"mix"});
        mixing->Classes()->setCurrentRow(0);
        QVERIFY(mixing->Waiting());
        QVERIFY(test::Idle(frame));
        QCOMPARE(test::Items(mixing->Available()), (QStringList{"grass", "soil"}));
        QVERIFY(mixing->findChild<QPushButton*>(QStringLiteral("ok"))->isEnabled());
        mixing->reject();

        // Endmember Selection, Waveband Filter Setup, Smoothing Filter Details and a new feature
        // space read on the far server; what their Cancel and OK store goes to a nearer one, as
        // it takes a dozen round trips, which would still pause the UI thread past 100 ms.
        const auto server_at = [&](int ms) { proxy.SetDelay(std::chrono::milliseconds(ms)); };
        // OK: the dialog stays, waiting, until what it stores is done, then closes.
        const auto ok_stores = [&](auto* dialog) {
            server_at(20);
            dialog->accept();
            QVERIFY(dialog->isVisible() && dialog->Waiting());
            QVERIFY(test::Idle(frame));
            QVERIFY2(!dialog->isVisible(), error().c_str());
        };
        frame.RunCommand(kCmdEndmemberSelection);
        EndmemberSelectionDialog* ends = frame.EndmemberSelection();
        QVERIFY(ends->isVisible() && ends->Waiting() && !ends->Endmembers()->isEnabled());
        QVERIFY(test::Idle(frame));
        QCOMPARE(test::Items(ends->Endmembers()), (QStringList{"grass", "soil"}));
        ends->Endmembers()->setCurrentRow(0);
        ends->ToClasses();
        QVERIFY(ends->Waiting());
        QVERIFY(test::Idle(frame));
        QCOMPARE(test::Items(ends->Endmembers()), QStringList{"soil"});
        server_at(20);
        ends->reject();  // Cancel stores the flags back
        QVERIFY(!ends->isVisible());
        QVERIFY(test::Idle(frame));
        const std::string endmembers = Sql(
            "select count(*) from species where study_id = %i and endmember = 'Y'", study);
        QCOMPARE(test::Count(w.scratch.Admin(), endmembers), 2);

        server_at(150);
        frame.RunCommand(kCmdWavebandFilterSetup);
        WavebandFilterDialog* bands = frame.WavebandFilter();
        QVERIFY(bands->isVisible() && bands->Waiting() && !bands->List()->isEnabled());
        QVERIFY(test::Idle(frame));
        bands->SetBandEditor([](int& lower, int& upper) {
            lower = 1350;
            upper = 1450;
            return true;
        });
        bands->findChild<QPushButton*>(QStringLiteral("new"))->click();
        ok_stores(bands);
        QCOMPARE(test::Count(w.scratch.Admin(), "select count(*) from waveband_filter_range"), 1);
        server_at(0);
        Pick(w.View().SmoothingList(), 1);
        QVERIFY(test::Idle(frame));
        server_at(150);
        QTest::mouseClick(w.View().SmoothingEdit(), Qt::LeftButton);
        FilterDetailsDialog* details = frame.FilterDetails();
        QVERIFY(details->isVisible() && !details->OkButton()->isEnabled());
        QVERIFY(test::Idle(frame));
        QVERIFY2(details->isVisible() && details->OkButton()->isEnabled(), error().c_str());
        ok_stores(details);

        server_at(150);
        frame.RunCommand(kCmdFeatureSpaceNew);
        FeatureSpaceDialog* space = frame.FeatureSpace();
        QVERIFY(space->isVisible() && space->Waiting() && !space->Name()->isEnabled());
        QVERIFY(test::Idle(frame));
        QVERIFY(space->Name()->isEnabled());
        space->SetBandEditor([](int& first, int& second) {
            first = 550;
            second = 660;
            return true;
        });
        space->findChild<QPushButton*>(QStringLiteral("new"))->click();
        space->Name()->setText(QStringLiteral("Slow edge"));
        ok_stores(space);
        QCOMPARE(test::Count(w.scratch.Admin(),
                             "select count(*) from feature_space where name = 'Slow edge'"),
                 1);
        server_at(150);

        // Create Study: a refused name comes back from the worker with the dialog as typed.
        frame.RunCommand(kCmdCreateStudy);
        CreateStudyDialog* create = frame.CreateStudy();
        create->DataPath()->setText(QStringLiteral("/nowhere"));
        create->accept();
        QVERIFY(!create->OkButton()->isEnabled());
        QVERIFY(test::Idle(frame));
        QVERIFY(create->isVisible() && create->OkButton()->isEnabled());
        QVERIFY(!error().empty());
        QCOMPARE(create->DataPath()->text(), QStringLiteral("/nowhere"));
        create->reject();

        // Import Sensor: OK closes at once and the sensor joins the list when stored. Its
        // dozen round trips go to a nearer server, which the UI thread could not wait on
        // either without a pause the meter sees.
        proxy.SetDelay(std::chrono::milliseconds(40));
        test::WriteMixingSensor(w.dir.File("two.txt"), 2);
        frame.RunCommand(kCmdImportSensor);
        ImportSensorDialog* sensor = frame.ImportSensor();
        sensor->InputFile()->setText(QString::fromStdString(w.dir.File("two.txt")));
        sensor->accept();
        QVERIFY(!sensor->isVisible() && frame.JobRunning());
        QVERIFY(test::Idle(frame));
        QCOMPARE(w.View().SensorList()->count(), 2);
        proxy.SetDelay(std::chrono::milliseconds(150));

        // The spectra plot reads the species after the window's earlier work.
        SpectraPlotWindow* plot = frame.SpectraPlotDock();
        QVERIFY(plot->ReadingSpecies());
        QVERIFY(test::Idle(frame));
        QVERIFY(!plot->ReadingSpecies());
        QCOMPARE(test::Items(plot->SpeciesList()), (QStringList{"grass", "mix", "soil"}));
        // Saving the plot proposes a name from the study's, read behind the window.
        std::string proposed;
        frame.Frontend().SetSaveFileAnswer([&](const std::string& p) {
            proposed = p;
            return std::string();
        });
        emit plot->findChild<QPushButton*>(QStringLiteral("savePng"))->clicked();
        QVERIFY(test::Idle(frame));
        QVERIFY2(proposed.find("Mixing study_") != std::string::npos, proposed.c_str());
        gap = meter.Stop();
        QVERIFY2(gap < 100, qPrintable(QString::number(gap)));
        proxy.SetDelay(std::chrono::milliseconds(0));
        w.frame.reset();
        w.doc.reset();
    }
};

}  // namespace orvane

QTEST_MAIN(orvane::SlowNetworkTest)
#include "slow_network_test.moc"
