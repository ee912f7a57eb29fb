#include "shell/LumoraApp.h"

int main(int argc, char** argv) {
    CLumoraApp app(argc, argv);
    if (!app.InitInstance()) {
        return 1;
    }
    return app.exec();
}
