// Load cases that the in-process tests and the run of the Windows build under Wine share:
// the whole files, and the replaces and sections that start in the middle of a file.
#ifndef VORLO_TEST_LOAD_CASES_H
#define VORLO_TEST_LOAD_CASES_H

#include "buffer_checks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// A number of seconds as a load message's words ("1.5 sec").
std::string seconds(double value);

// Fixtures of every codec and container, loaded whole from the beginning.
extern const std::vector<const char *> kWholeFiles;

// A replace from `start`, or (length above 0) an importreplace of the section from `start`
// that long.
struct SeamCase {
    const char *fixture;
    double start;
    double length;
};

void PrintTo(const SeamCase &c, std::ostream *out);
std::string seam_message(const SeamCase &c, const std::string &path);
// The frames of the plain decoding that an importreplace of the section holds: from the
// start rounded to a frame, the length rounded to frames, up to the decoding's end.
Span section_of(const Decoded &reference, double start, double length);

// Starts where a lossy decoder must have settled: after its pre-roll, between frames, near
// the end; sections that run past the end are cut there.
extern const std::vector<SeamCase> kSeams;
std::string seam_name(const ::testing::TestParamInfo<SeamCase> &info);

#endif
