"""The field's files as tables: read_stations and read_events read
StationXML, QuakeML and FDSN text, the XML through the same reader as the
filter's, as the FDSN text it stands for."""

import os
import warnings

from . import _files

STATION_COLUMNS = _files.station_columns.lstrip("#").split("|")
EVENT_COLUMNS = _files.event_columns.lstrip("#").split("|")

# Columns of numbers and of times, by the names FDSN text gives them;
# every other column is text.
_NUMBERS = {"latitude", "longitude", "elevation", "depth", "depth/km", "magnitude", "azimuth", "dip",
            "sensorgain", "sensorfrequency", "samplerate"}
_TIMES = {"time", "starttime", "endtime"}


def _looks_like_xml(data):
    head = data[3:] if data.startswith(b"\xef\xbb\xbf") else data
    return head.lstrip(b" \t\r\n").startswith(b"<")


def _text_of(path, kind, function):
    """The file's FDSN text, its '#' header first: XML converted, text as
    it is; bad entries warned of and left out."""
    with open(path, "rb") as f:
        data = f.read()
    if not _looks_like_xml(data):
        if data.startswith(b"\xef\xbb\xbf"):
            data = data[3:]
        return data.decode("utf-8", errors="replace")
    found, text, root, malformed, problems, count = _files.text(data)
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


def _columns(text, function, name, pd=None):
    import numpy as np

    if pd and _whole_lines(text):
        names, values = _split_by_pandas(text, function, name, pd)
    else:
        names, values = _rows(text, function, name)
    table = {}
    for column, column_values in zip(names, values):
        key = column.lower()
        if key in _NUMBERS:
            table[column] = np.array([float(v) if v else np.nan for v in column_values], dtype=np.float64)
        elif key in _TIMES:
            # NumPy reads UTC ISO 8601 without the 'Z' it no longer takes.
            bare = [v[:-1] if v.endswith("Z") else v for v in column_values]
            try:
                table[column] = np.array([v if v else "NaT" for v in bare], dtype="datetime64[ns]")
            except ValueError:
                table[column] = np.array(column_values, dtype=object)
        else:
            table[column] = np.array(column_values, dtype=object)
    return table


def _table(text, function, name):
    """A DataFrame where pandas is there, else a dict of arrays."""
    try:
        import pandas as pd
    except ImportError:
        return _columns(text, function, name)
    return pd.DataFrame(_columns(text, function, name, pd))


def read_stations(path):
    """The stations of a StationXML file (1.0 to 1.2) or of FDSN station text.

    StationXML is read as the FDSN text at station level that it stands
    for, one row per station epoch: Network, Station, Latitude, Longitude,
    Elevation, SiteName, StartTime, EndTime.  Text is read with the columns
    its ``#`` header names.

    Parameters
    ----------
    path : str or os.PathLike
        The file; which kind it is comes from its content, not its name.

    Returns
    -------
    pandas.DataFrame, or dict of numpy.ndarray without pandas
        Latitude, Longitude and Elevation (and any other column of numbers
        FDSN text names) as float64, NaN where empty; StartTime and EndTime
        as datetime64[ns], NaT where empty (a station still running); the
        rest as text.

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
    text = _text_of(path, "stations", "read_stations")
    return _table(text, "read_stations", os.fspath(path))


def read_events(path):
    """The events of a QuakeML 1.2 file or of FDSN event text.

    QuakeML is read as the FDSN event text it stands for, one row per
    event, from its preferred origin and magnitude (the first of each when
    none is preferred): EventID, Time, Latitude, Longitude, Depth/km,
    Author, Catalog, Contributor, ContributorID, MagType, Magnitude,
    MagAuthor, EventLocationName.  The depth is in kilometres (QuakeML
    gives metres).

    Parameters
    ----------
    path : str or os.PathLike
        The file; which kind it is comes from its content, not its name.

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
    text = _text_of(path, "events", "read_events")
    return _table(text, "read_events", os.fspath(path))
