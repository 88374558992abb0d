// The checker's report of one image, rendered from its records: as report
// lines for people, and as a JSON object for scripts.
#ifndef TOLP_IMAGE_REPORT_H
#define TOLP_IMAGE_REPORT_H

#include <string>

#include "image_check.h"

// The report lines, each indented and ending in "\n": a note "NAME:
// DETAIL", a check "NAME: DETAIL: OK" (or FAIL, with the bytes expected and
// found at the first difference on two lines more).
std::string text_report(const CheckReport& report);

// {"path", "consistent", "error" (when the image could not be used),
//  "fields" (those present), "name" (null unless in the tool's form),
//  "checks": [{"name", "ok" (null for a check that could not be made),
//  "detail", and for a failure with a place "offset", "expected",
//  "found"}]}. `error` is empty for a usable image.
std::string json_report(const std::string& path, const CheckReport& report,
                        const std::string& error);

// `text` as a JSON string literal, quotes included: valid UTF-8 whatever
// the bytes (one U+FFFD for each byte that is not UTF-8), control
// characters escaped.
std::string json_string(const std::string& text);

#endif
