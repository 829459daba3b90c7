#pragma once

class DataSet;

// The useful phones (XRHSIMA_THLEFWNA).
namespace Phones {

// Every entry, editable in place, by name.
void openList(DataSet &table);

}   // namespace Phones
