#pragma once

#include <string>

// The folder of the binary (executable or shared library) that holds this
// code, so an installed host library can find the runner installed with it.
// Empty when the platform cannot tell.
std::string moduleDirectory();
