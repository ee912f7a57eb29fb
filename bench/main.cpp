// The link benchmarks' main: they post through Qt's event queue, which needs the application
// object for the whole run.

#include "BenchMain.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    return bench::RunBenchmarks<QCoreApplication>(argc, argv);
}
