// Replaced by the erase engine sources.
