// What the demo server's articles are written from: the stocks they cover and the finished
// trading days of its market.
#pragma once

#include "server/market/market.h"

#include <map>
#include <vector>

namespace vq::demo {

// The Beijing trading day (yyyymmdd) a day bar belongs to.
int barDay(const market::Bar& bar);
// The newest trading day whose session has ended: the snapshot's day once it closed,
// otherwise the trading day before it.
int lastFinishedDay(const market::Market& market);
// The trading day `count` trading days before `day`.
int tradingDaysBefore(int day, int count);
// The finished day bars of a security, newest `rows` at most, ascending.
std::vector<market::Bar> finishedBars(const market::Market& market, int security, int rows,
                                      market::Adjust adjust = market::Adjust::None);
// Closes of bars by their trading day.
std::map<int, double> closesByDay(const std::vector<market::Bar>& bars);
// Traded stocks without a risk warning (and with a rating when `rated`), largest market
// value first, `count` at most.
std::vector<int> largestStocks(const market::Market& market, int count, bool rated);

}  // namespace vq::demo
