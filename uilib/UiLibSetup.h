#pragma once

namespace YUILIB {

// Registers the library's resources and maps the dialogs' font family to an
// installed one. Safe to call any number of times; the work happens once.
void initialise();

} // namespace YUILIB
