#pragma once
#include "data/error.h"

// Every database failure (missing file, wrong key, refused statement,
// a value a field cannot take) is reported as one exception type.
class DbError : public MolarixError {
public:
    using MolarixError::MolarixError;
};
