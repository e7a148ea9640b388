target_sources(scoravel_progress PRIVATE
    display_settings.cpp
    progress_dialog.cpp
    progress_reporter.cpp
    shred_dialogs.cpp)
