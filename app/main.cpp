#include "app/Startup.h"

#include <csignal>

int main(int argc, char** argv) {
    // Past a file size limit a write fails and is reported instead of killing the window.
    std::signal(SIGXFSZ, SIG_IGN);
    return lessora::runLessora(argc, argv);
}
