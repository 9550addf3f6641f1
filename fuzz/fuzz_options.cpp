// The option reader alone: a command line from NUL-separated bytes ends in
// a status or in options that hold together, never in a crash, whatever
// the arguments; the options it accepts make a Record.
#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../commands/ostrem/options.h"
#include "../commands/ostrem/record.h"

using namespace filter;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> words(1, "ostrem");
    std::string w;
    for (size_t i = 0; i < size && words.size() < 64; i++) {
        if (data[i] == '\0') {
            words.push_back(w);
            w.clear();
        } else {
            w += static_cast<char>(data[i]);
        }
    }
    words.push_back(w);
    std::vector<char *> argv;
    for (std::string &x : words)
        argv.push_back(&x[0]);
    argv.push_back(nullptr);
    // The help, the version and the messages go to the null device for the
    // call; libFuzzer's own reports, after it, to standard error again.
    static const int null_fd = open("/dev/null", O_WRONLY);
    const int out = dup(1), err = dup(2);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    Options o;
    int first = 0;
    optind = 0;  // a new command line for getopt
    int status = options(static_cast<int>(words.size()), argv.data(), o, &first);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(out, 1);
    dup2(err, 2);
    close(out);
    close(err);
    check(status == 0 || status == 2 || status == -1);
    if (status != 0)
        return 0;
    check(first >= 1 && first <= static_cast<int>(words.size()));
    check(o.want >= 2 && o.want <= pair_numbers && o.threads >= 1 && o.threads <= max_threads);
    for (int i = 0; i < o.want; i++)
        check(o.field[i] >= 1 && o.field[i] <= max_field && o.slot[i] >= 0 && o.slot[i] < pair_numbers);
    check(!o.window || o.range[0] <= o.range[1]);
    for (const double *sector : {o.azimuth, o.back_azimuth})
        check(sector[0] >= 0 && sector[0] <= 360 && sector[1] >= 0 && sector[1] <= 360);
    check(o.nearest >= 0 && o.nearest <= max_nearest && (!o.nearest || o.stations));
    check(o.station_field[0] >= 1 && o.station_field[1] >= 1);
    check(!o.times || (o.stations && o.time_field[0] >= 1 && o.station_time_field[1] >= 1));
    check(o.decimals >= 0 && o.decimals <= 9 && o.path >= 0 && o.path <= max_steps);
    const Record rec(o);
    (void)rec;
    return 0;
}
