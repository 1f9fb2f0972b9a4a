// TQInitManager: the guard that starts the scripting frameworks (the core, Mivor, and the script
// engine library, Pelvo) once per process, before any script engine is made. They stay up until
// the process exits.
#pragma once

class TQInitManager {
public:
    // Throws std::runtime_error "Unable to initialize Tessel" when the frameworks cannot be
    // started; a later construction tries again.
    TQInitManager();
    ~TQInitManager();
};

// Starts the frameworks on the first successful call (safe from several threads at once) and has
// them shut down at process exit; later calls do nothing. Throws as TQInitManager does, and then
// records nothing, so that the next call tries again.
void InitializeTessel();
