// The main of the benchmarks that build real windows: they need a QApplication for the whole run,
// and run on the offscreen platform unless told otherwise, so that no display is needed.

#include "BenchMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return bench::RunBenchmarks<QApplication>(argc, argv);
}
