#include "instant.h"

namespace stations {

namespace {

// n decimal digits at p, all of them digits, into *v.
bool digits(const char *&p, const char *end, int n, int *v)
{
    if (end - p < n)
        return false;
    int x = 0;
    for (int i = 0; i < n; i++, p++) {
        if (*p < '0' || *p > '9')
            return false;
        x = 10 * x + (*p - '0');
    }
    *v = x;
    return true;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Days from 1970-01-01 to y-m-d: whole 400-year eras of 146097 days, then
// the day within the era, counting years from March so that February's
// leap day falls at a year's end.
int64_t days_from_epoch(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int year_of_era = y - era * 400;
    const int day_of_year = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return static_cast<int64_t>(era) * 146097 + day_of_era - 719468;
}

}  // namespace

bool read_instant(const char *p, const char *end, Instant *t)
{
    int year, month, day, hour = 0, minute = 0, second = 0;
    if (!digits(p, end, 4, &year) || p == end || *p++ != '-' || !digits(p, end, 2, &month) ||
        p == end || *p++ != '-' || !digits(p, end, 2, &day))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > days_in(year, month))
        return false;
    int64_t nanoseconds = 0;
    if (p < end && *p == 'T') {
        p++;
        if (!digits(p, end, 2, &hour) || p == end || *p++ != ':' || !digits(p, end, 2, &minute))
            return false;
        if (p < end && *p == ':') {
            p++;
            if (!digits(p, end, 2, &second))
                return false;
            if (p < end && *p == '.') {
                p++;
                const char *first = p;
                int64_t scale = 100000000;
                for (; p < end && *p >= '0' && *p <= '9'; p++, scale /= 10)
                    nanoseconds += scale * (*p - '0');  // digits past the ninth add nothing
                if (p == first)
                    return false;
            }
        }
        if (hour > 23 || minute > 59 || second > 60)
            return false;
    }
    if (p < end && *p == 'Z')
        p++;
    if (p != end)
        return false;
    t->seconds = days_from_epoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    t->nanoseconds = static_cast<int32_t>(nanoseconds);
    return true;
}

}  // namespace stations
