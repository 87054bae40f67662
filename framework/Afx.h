// The framework in one include.
#pragma once

#include "framework/AfxString.h"
#include "framework/AfxWin.h"
