// The program's name as every room shows it: the window's class and title,
// and the caption of every message box.
#pragma once

constexpr const char* APP_NAME = "Quorvane";
