#pragma once
// The line printed along the left edge of every printed page, naming who made it.
#include <QString>

namespace VelImprint {

// The producer's line (prints made from the print configuration).
QString producerLine();
// The CU pages' line: the producer's line, four spaces and the reference to the
// revenue agency's approval of the model.
QString cuLine();

} // namespace VelImprint
