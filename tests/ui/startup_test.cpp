// Start-up without a configuration file: the user is asked (here by a scripted answer) and
// declining ends the program with status 1 before any window opens.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/scratch_database.h"
#include "ui/orvane_app.h"

int main(int argc, char** argv) {
    orvane::test::TempDir dir;
    setenv("ORVANE_HOME", dir.Path().c_str(), 1);
    if (chdir(dir.Path().c_str()) != 0) return 2;
    orvane::COrvaneApp app(argc, argv);
    std::string asked;
    app.SetConfigAnswer([&](const std::string& message) {
        asked = message;
        return std::string();
    });
    const int status = app.Run();
    const std::string searched = dir.Path() + "/spectra_config.txt";
    if (status != 1 || asked.find(searched) == std::string::npos) {
        std::fprintf(stderr, "FAIL: status %d, message:\n%s\n", status, asked.c_str());
        return 1;
    }
    std::printf("PASS: declined start-up exits with 1 after naming %s\n", searched.c_str());
    return 0;
}
