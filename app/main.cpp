#include "app/Startup.h"

int main(int argc, char** argv) {
    return lessora::runLessora(argc, argv);
}
