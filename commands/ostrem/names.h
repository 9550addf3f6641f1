// Field names for field numbers: with -H, -f, -F, -z, -Z, -t and -T take
// the names a file's header gives its fields (-F Latitude,Longitude).  A
// name is matched exactly, then without regard to case; a leading '#'
// (FDSN text's) is no part of the first.
#ifndef OSTREM_FILTER_NAMES_H
#define OSTREM_FILTER_NAMES_H

#include <string>
#include <vector>

#include "fdsn_text.h"
#include "inputs.h"
#include "options.h"

namespace filter {

// Is the named input ("-": standard input) XML, by its first bytes?  1
// yes, 0 no, -1 when it cannot be opened.  Where it is text, its first
// line is told in *text (FDSN's event, station or channel text, or
// other).  What is read is kept in inputs, for the input's reader.
int input_is_xml(Inputs &inputs, const char *name, files::TextHeader *text = nullptr);

// The field numbers of each name list in names, in its order, from the
// header of the first input (or of the station file, for -F, -T and -Z
// under -S); the headers are peeked at in inputs.  o: the options as the
// command line settles them.  0, or 2 after a usage error's message (a
// name missing or found twice, an input that cannot be read).
int resolve_names(Inputs &inputs, const Options &o, const char *input, const Names &names,
                  std::vector<std::string> &numbers);

}  // namespace filter

#endif
