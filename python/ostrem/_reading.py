"""The field's files as tables: read_stations and read_events read
StationXML, QuakeML and FDSN text, the XML through the same reader as the
filter's, as the FDSN text it stands for; read_events also reads the
catalogue CSV that earthquake websites offer."""

import os
import re
import warnings

from . import _files

STATION_COLUMNS = _files.station_columns.lstrip("#").split("|")
EVENT_COLUMNS = _files.event_columns.lstrip("#").split("|")

# Columns of numbers and of times, by the names FDSN text gives them;
# every other column is text.
_NUMBERS = {"latitude", "longitude", "elevation", "depth", "depth/km", "magnitude", "azimuth", "dip",
            "sensorgain", "sensorfrequency", "samplerate", "scale", "scalefreq",
            # the catalogue CSV's own
            "nst", "gap", "dmin", "rms", "horizontalerror", "deptherror", "magerror", "magnst"}
_TIMES = {"time", "starttime", "endtime", "updated"}

# The catalogue CSV (time,latitude,longitude,depth,mag,magType,...,id,
# place): the event text's columns it fills, and from which of its own.
_CATALOGUE_COLUMNS = {"EventID": "id", "Time": "time", "Latitude": "latitude", "Longitude": "longitude",
                      "Depth/km": "depth", "Author": "locationSource", "Catalog": "net",
                      "Contributor": "net", "ContributorID": "id", "MagType": "magType", "Magnitude": "mag",
                      "MagAuthor": "magSource", "EventLocationName": "place"}

# What datetime64[ns] holds, to the second inside: 1677-09-21T00:12:43.145224193
# to 2262-04-11T23:47:16.854775807.
_NANOSECONDS_HOLD = ("1677-09-21T00:12:44", "2262-04-11T23:47:16")


def _looks_like_xml(data):
    head = data[3:] if data.startswith(b"\xef\xbb\xbf") else data
    return head.lstrip(b" \t\r\n").startswith(b"<")


def _types(magnitudes):
    """Magnitude types as the reader takes them: "Mw,mb"."""
    if magnitudes is None:
        return ""
    if isinstance(magnitudes, str):
        return magnitudes
    return ",".join(magnitudes)


def _text_of(path, kind, function, magnitudes=None, first=False, channels=True):
    """The file's FDSN text, its '#' header first: XML converted, text as
    it is (channel text as its station epochs unless channels); bad entries
    warned of and left out."""
    with open(path, "rb") as f:
        data = f.read()
    if not _looks_like_xml(data):
        if data.startswith(b"\xef\xbb\xbf"):
            data = data[3:]
        if not channels:
            epochs = _files.station_epochs(data)
            if epochs is not None:
                data = epochs
        return data.decode("utf-8", errors="replace")
    try:
        found, text, root, malformed, problems, count = _files.text(data, _types(magnitudes), first)
    except ValueError as e:
        raise ValueError(f"{function}: magnitudes: {e}") from None
    name = os.fspath(path)
    if found != kind and not malformed:
        what = {"stations": "StationXML", "events": "QuakeML"}
        if found in what:
            raise ValueError(f"{function}: {name} is {what[found]}, not {what[kind]}")
        raise ValueError(f"{function}: {name}: XML whose root element is <{root}>: "
                         "neither StationXML nor QuakeML")
    if malformed:
        line, what = problems[-1]
        raise ValueError(f"{function}: {name}:{line}: {what}")
    for line, what in problems:
        warnings.warn(f"{name}:{line}: {what}", stacklevel=3)
    if count > len(problems):
        warnings.warn(f"{count - len(problems)} more bad entries of {name} not reported", stacklevel=3)
    return text.decode("utf-8", errors="replace")


def _one_header(text):
    """The text without the '#' lines after its first (the header again,
    where files were joined, or a comment)."""
    start = len(text) - len(text.lstrip())
    first_end = text.find("\n", start)
    if first_end < 0 or text.find("\n#", first_end) < 0:
        return text
    rest = [line for line in text[first_end + 1:].split("\n") if not line.startswith("#")]
    return text[:first_end + 1] + "\n".join(rest)


def _rows(text, function, name):
    """The header's names and each line's fields, in Python."""
    lines = text.splitlines()
    while lines and not lines[0].strip():
        lines.pop(0)
    if not lines or not lines[0].startswith("#"):
        raise ValueError(f"{function}: {name} has no '#' header naming its columns")
    names = [n.strip() for n in lines[0][1:].split("|")]
    rows = [line.split("|") for line in lines[1:] if line.strip() and not line.startswith("#")]
    for row in rows:
        if len(row) != len(names):
            raise ValueError(f"{function}: {name}: a line of {len(row)} fields, where the header "
                             f"names {len(names)}: {'|'.join(row)[:80]!r}")
    return names, [[row[k].strip() for row in rows] for k in range(len(names))]


def _split_by_pandas(text, function, name, pd):
    """The same as _rows, by pandas' C reader: every field as text."""
    import csv
    import io

    head = text.lstrip().split("\n", 1)[0]
    if not head.startswith("#"):
        raise ValueError(f"{function}: {name} has no '#' header naming its columns")
    names = [n.strip() for n in head[1:].split("|")]
    try:
        frame = pd.read_csv(io.StringIO(text.lstrip()), sep="|", dtype=str, keep_default_na=False,
                            quoting=csv.QUOTE_NONE, comment=None, skiprows=1, header=None,
                            names=names, index_col=False, skip_blank_lines=True, engine="c")
    except pd.errors.ParserError as e:
        raise ValueError(f"{function}: {name}: {e}") from None
    return names, [[v.strip() for v in frame[n]] if frame[n].size else [] for n in names]


def _whole_lines(text):
    """Does every line hold as many separators as the header?  Counted
    in C; where not, the lines are split one by one, which names the bad
    one."""
    lines = text.strip().split("\n")
    return text.count("|") == len(lines) * lines[0].count("|")


def _time_column(values, function, name, column):
    """Times as datetime64: to the nanosecond where every one lies in the
    years that unit holds (1677 to 2262), else to the microsecond, which
    holds the years 1 to 9999 (a data centre's still-running end of
    2599-12-31, say); never wrapped.  Text that is no time stays text, with
    a warning."""
    import numpy as np

    # NumPy reads UTC ISO 8601 without the 'Z' it no longer takes.
    bare = [v[:-1] if v.endswith("Z") else v for v in values]
    texts = [v if v else "NaT" for v in bare]
    try:
        wide = np.array(texts, dtype="datetime64[us]")
    except ValueError:
        warnings.warn(f"{name}: the column {column} holds text that is no time; kept as text",
                      stacklevel=4)
        return np.array(values, dtype=object)
    known = wide[~np.isnat(wide)]
    low, high = (np.datetime64(t, "us") for t in _NANOSECONDS_HOLD)
    if known.size == 0 or (known.min() >= low and known.max() <= high):
        # Nanoseconds hold them.  No text longer than YYYY-MM-DDTHH:MM:SS
        # and six decimals has a digit that microseconds lost: those are
        # widened exactly; others are read again to the nanosecond.
        if max(map(len, bare), default=0) <= len("2000-01-01T00:00:00.000000"):
            return wide.astype("datetime64[ns]")
        return np.array(texts, dtype="datetime64[ns]")
    finer = re.compile(r"\.\d{6}\d*[1-9]")
    for k, v in enumerate(bare):
        if finer.search(v):
            raise ValueError(f"{function}: {name}: the {column} of row {k + 1}, {values[k]!r}, is finer than "
                             "a microsecond, in a column whose years nanoseconds cannot hold (1677 to "
                             "2262): it cannot be held")
    return wide


def _numbers(values, function, name, column):
    import numpy as np

    try:
        return np.array([float(v) if v else np.nan for v in values], dtype=np.float64)
    except ValueError as e:
        raise ValueError(f"{function}: {name}: the column {column}: {e}") from None


def _typed(names, values, function, name):
    """Each column by its name: numbers, times or text."""
    import numpy as np

    table = {}
    for column, column_values in zip(names, values):
        key = column.lower()
        if key in _NUMBERS:
            table[column] = _numbers(column_values, function, name, column)
        elif key in _TIMES:
            table[column] = _time_column(column_values, function, name, column)
        else:
            table[column] = np.array(column_values, dtype=object)
    return table


def _columns(text, function, name, pd=None):
    text = _one_header(text)
    if pd and _whole_lines(text):
        names, values = _split_by_pandas(text, function, name, pd)
    else:
        names, values = _rows(text, function, name)
    return _typed(names, values, function, name)


def _frame(table):
    """A DataFrame of the columns where pandas is there, else the dict.
    pandas before 2 holds times only to the nanosecond: a column of
    microseconds becomes datetime objects (None where empty), not wrapped
    values."""
    import numpy as np

    try:
        import pandas as pd
    except ImportError:
        return table
    if int(pd.__version__.split(".")[0]) < 2:
        for column, values in table.items():
            if values.dtype.kind == "M" and np.datetime_data(values.dtype)[0] != "ns":
                table[column] = values.astype(object)
    return pd.DataFrame(table)


def _table(text, function, name):
    """A DataFrame where pandas is there, else a dict of arrays."""
    try:
        import pandas as pd
    except ImportError:
        pd = None
    return _frame(_columns(text, function, name, pd))


def _catalogue_csv(path):
    """The catalogue CSV's text, where the file is one: its header begins
    time,latitude,longitude.  None for any other file."""
    with open(path, "rb") as f:
        head = f.read(64)
    if head.startswith(b"\xef\xbb\xbf"):
        head = head[3:]
    if not head.lstrip().lower().startswith(b"time,latitude,longitude"):
        return None
    with open(path, encoding="utf-8-sig", errors="replace", newline="") as f:
        return f.read()


def _catalogue_table(text, function, name):
    """The catalogue CSV in the event text's columns, then its own others."""
    import csv
    import io

    rows = [row for row in csv.reader(io.StringIO(text)) if row]
    header = [n.strip() for n in rows[0]]
    rows = [row for row in rows[1:] if [f.strip() for f in row] != header]  # files joined
    for k, row in enumerate(rows):
        if len(row) != len(header):
            raise ValueError(f"{function}: {name}: row {k + 1} has {len(row)} fields, where the header "
                             f"names {len(header)}")
    values = {n: [row[k].strip() for row in rows] for k, n in enumerate(header)}
    empty = [""] * len(rows)
    names = EVENT_COLUMNS + [n for n in header if n not in _CATALOGUE_COLUMNS.values()]
    columns = [values.get(_CATALOGUE_COLUMNS.get(n, n), empty) for n in names]
    return _frame(_typed(names, columns, function, name))


def read_stations(path, channels=False):
    """The stations of a StationXML file (1.0 to 1.2) or of FDSN station text.

    StationXML is read as the FDSN text at station level that it stands
    for, one row per station epoch: Network, Station, Latitude, Longitude,
    Elevation, SiteName, StartTime, EndTime.  Text is read with the columns
    its ``#`` header names; a header repeated inside it (files joined) is
    passed over.  FDSN channel text (with Location and Channel) is read one
    row per station epoch, as the filter pairs it: the channels with the
    same Network, Station, Latitude, Longitude and Elevation, their epochs
    joined where they overlap, the channels' own fields empty.

    Parameters
    ----------
    path : str or os.PathLike
        The file; which kind it is comes from its content, not its name.
    channels : bool, optional
        Channel text one row per channel, as it stands.

    Returns
    -------
    pandas.DataFrame, or dict of numpy.ndarray without pandas
        Latitude, Longitude and Elevation (and any other column of numbers
        FDSN text names) as float64, NaN where empty; StartTime and EndTime
        as datetime64[ns], NaT where empty (a station still running), or
        datetime64[us] where a time lies past the years nanoseconds hold
        (1677 to 2262: an end of 2599-12-31) and, with pandas before 2,
        datetime objects; the rest as text.

    Raises
    ------
    ValueError
        XML that is not well-formed (its line and what is wrong), XML of
        another kind (QuakeML, or a root element of neither), text without
        its header.  A station without coordinates is left out, with a
        warning naming its line.

    Examples
    --------
    >>> import ostrem
    >>> stations = ostrem.read_stations("tests/data/inventory.xml")  # doctest: +SKIP
    >>> list(stations["Station"])  # doctest: +SKIP
    ['ANMO', 'ANMO', 'FUR']
    """
    text = _text_of(path, "stations", "read_stations", channels=channels)
    return _table(text, "read_stations", os.fspath(path))


def read_events(path, magnitudes=None, magnitudes_first=False):
    """The events of a QuakeML file (1.0 to 1.2), of FDSN event text or of
    a catalogue CSV.

    QuakeML is read as the FDSN event text it stands for, one row per
    event, from its preferred origin and magnitude (the first of each when
    none is preferred): EventID, Time, Latitude, Longitude, Depth/km,
    Author, Catalog, Contributor, ContributorID, MagType, Magnitude,
    MagAuthor, EventLocationName.  The depth is in kilometres (QuakeML
    gives metres).  A catalogue CSV (time,latitude,longitude,depth,mag,
    magType,...,id,place) fills the same columns (EventID and ContributorID
    from id, Author from locationSource, Catalog and Contributor from net,
    MagAuthor from magSource, EventLocationName from place), its other
    columns after them.

    Parameters
    ----------
    path : str or os.PathLike
        The file; which kind it is comes from its content, not its name.
    magnitudes : str or sequence of str, optional
        Magnitude types in order of preference ("Mw,Mww,Ms,mb"; case
        ignored): a QuakeML event that names no preferred magnitude (or
        one it does not hold) takes the first of the earliest type listed.
    magnitudes_first : bool, optional
        The types listed in place of the preferred magnitude too.

    Returns
    -------
    pandas.DataFrame, or dict of numpy.ndarray without pandas
        Latitude, Longitude, Depth/km and Magnitude as float64, NaN where
        empty; Time as datetime64[ns]; the rest as text.

    Raises
    ------
    ValueError
        As for `read_stations`; an event without an origin, or whose
        origin has no coordinates, is left out with a warning.

    Examples
    --------
    >>> import ostrem
    >>> events = ostrem.read_events("tests/data/catalogue.xml")  # doctest: +SKIP
    >>> events["Depth/km"].tolist()  # doctest: +SKIP
    [29.0125, 0.5, nan]
    """
    catalogue = _catalogue_csv(path)
    if catalogue is not None:
        return _catalogue_table(catalogue, "read_events", os.fspath(path))
    text = _text_of(path, "events", "read_events", magnitudes, magnitudes_first)
    return _table(text, "read_events", os.fspath(path))
