// The options of the command line and the lines of the argument report.
// Byte rules only; the pass over the arguments is in arguments.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "settings/output_options.h"

// Messages of an error line.
extern const char* const ARGUMENT_NOT_RECOGNISED;  // "が認識できません。"
extern const char* const ARGUMENT_MATCHES_NOTHING;  // "に該当するファイルが見つかりません。"

// The line added when not one file was collected; it carries no number.
extern const char* const ARGUMENTS_NAMED_NO_FILE;

// Appends "\n- 第 <number> 引数 「<token>」 <message>" to errors.
void addArgumentError(std::string& errors, std::uint32_t number, const std::string& token,
                      const char* message);

// Applies one option token (it begins with "/") of argument number `number`
// to options, appending an error line for each part that is not recognised.
// Letters before a bad one keep their effect.
void applyOptionToken(OutputOptions& options, const std::string& token, std::uint32_t number,
                      std::string& errors);

// The whole message: the header line and the error lines.
std::string argumentReportText(const std::string& errors);
