#pragma once

namespace lessora {

// Starts the application: the main window, then the voice-settings window, then the
// voice-check window; runs until the main window is closed.
int runLessora(int argc, char** argv);

} // namespace lessora
