// Runs a reading command on several images at once and prints their reports
// in the order the images were given.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace zanthrel::cli {

// Writes the report on image `index` to `out` and its errors to `err`, and
// gives the exit status a run on that image alone would have.
using ReportImage = std::function<int(size_t index, std::ostream& out, std::ostream& err)>;

// Runs `report` on `count` images, at most `jobs` at a time, each into
// buffers of its own; an image's output is printed, stdout before stderr, as
// soon as the output of every image before it is. The statuses, in order.
// One image is reported straight to stdout and stderr, as it goes.
std::vector<int> ReportImages(size_t count, unsigned jobs, const ReportImage& report);

// The processors of this machine, the default number of jobs: at least one.
unsigned DefaultJobs();

}  // namespace zanthrel::cli
