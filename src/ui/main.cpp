#include "ui/orvane_app.h"

int main(int argc, char** argv) {
    orvane::COrvaneApp app(argc, argv);
    return app.Run();
}
