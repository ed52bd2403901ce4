#pragma once

class Database;

namespace BenchSeed {

// Cards with days 1..31 (some beyond short months), ratios, amounts and a few repaid marks;
// the same cards for the same count on every run.
void seed(Database& db, int count);

// The yardstick of the refresh figures: one prepared UPDATE of the seven computed fields of
// every card, in one transaction, straight through SQLite's C interface. Seconds taken.
double plainUpdateSeconds(Database& db);

} // namespace BenchSeed
