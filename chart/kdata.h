// One chart bar and the bar series a chart holds.
#ifndef VQ_CHART_KDATA_H
#define VQ_CHART_KDATA_H

#include <cstdint>
#include <vector>

// A bar as the formula VM reads it: eleven 4-byte fields, handed to the VM by pointer.
struct KData {
    uint32_t date;  // (year - 1900) * 10000 + month * 100 + day; minute bars: the bar time
    uint32_t time;  // seconds since 1970, low 32 bits
    float open;
    float high;
    float low;
    float close;
    float sum;        // traded amount
    float vol;        // traded volume
    float p_close;    // previous close
    float avg_price;  // minute bars only; 0 on K-line bars
    float aux;        // turnover rate of a K-line bar; 0 on minute bars
};
static_assert(sizeof(KData) == 44, "KData is 44 bytes");

using KSeries = std::vector<KData>;

// The record that stands in for a day an overlaid security did not trade: times 0, every
// value missing.
KData gapKData();

#endif
