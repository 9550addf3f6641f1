// ostrem --text FILE...: StationXML and QuakeML written as the FDSN text
// they stand for, the '#' header line first; a file that is already text
// is copied as it is.  So the XML can enter any pipe.
#ifndef OSTREM_FILTER_TEXT_H
#define OSTREM_FILTER_TEXT_H

namespace filter {

// Each named file ("-", or none: standard input) to standard output.
// The status: 0, 1 when some entity was bad or the XML was not
// well-formed, 2 for a file that cannot be read or XML of another kind,
// or a write error.
int write_text(int count, char **names);

}  // namespace filter

#endif
