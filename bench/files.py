"""Reading the field's XML: a channel-level StationXML inventory of about
100 MB and a QuakeML catalogue of 100,000 events, written by this script,
read by `ostrem --text` and by ostrem.read_stations / read_events beside
lxml's iterparse pulling the same fields (the fastest Python way Debian
offers), timed side by side in one run; medians.  Then the memory a
QuakeML stream of 10^6 events holds, read by `ostrem --text` from a pipe.

    /usr/bin/python3 bench/files.py [build dir]     (default: build/bench)
    ROUNDS=5 SCALE=1 EVENTS_IN_STREAM=1000000 /usr/bin/python3 bench/files.py

Run with the Python that has the package (docs/python.md); the peer
is left out without lxml (Debian: python3-lxml).
"""
import os
import subprocess
import tempfile
import time
from pathlib import Path

import numpy as np

import ostrem
from pairs import filter_program, have, report, rounds, scale, timed

STATION = "http://www.fdsn.org/xml/station/1"
BED = "http://quakeml.org/xmlns/bed/1.2"


def response():
    """A channel's response as the services write it: a sensitivity and
    three stages, poles and zeros, a FIR's coefficients."""
    poles = "".join(f'<Pole number="{k}"><Real>-{k}.0372</Real><Imaginary>{k}.037</Imaginary></Pole>'
                    for k in range(8))
    coefficients = "".join(f"<Numerator>{0.001 * k:.6e}</Numerator>" for k in range(40))
    return (
        "<Response><InstrumentSensitivity><Value>9.4E8</Value><Frequency>1</Frequency>"
        "<InputUnits><Name>m/s</Name></InputUnits><OutputUnits><Name>counts</Name></OutputUnits>"
        "</InstrumentSensitivity>"
        '<Stage number="1"><PolesZeros><InputUnits><Name>m/s</Name></InputUnits><OutputUnits>'
        "<Name>V</Name></OutputUnits><PzTransferFunctionType>LAPLACE (RADIANS/SECOND)"
        "</PzTransferFunctionType><NormalizationFactor>3.948580E+03</NormalizationFactor>"
        "<NormalizationFrequency>0.02</NormalizationFrequency>"
        f'<Zero number="0"><Real>0</Real><Imaginary>0</Imaginary></Zero>{poles}</PolesZeros>'
        "<StageGain><Value>1500</Value><Frequency>0.02</Frequency></StageGain></Stage>"
        '<Stage number="2"><Coefficients><InputUnits><Name>V</Name></InputUnits><OutputUnits>'
        "<Name>counts</Name></OutputUnits><CfTransferFunctionType>DIGITAL</CfTransferFunctionType>"
        f"{coefficients}</Coefficients><Decimation><InputSampleRate>40</InputSampleRate>"
        "<Factor>1</Factor><Offset>0</Offset><Delay>0</Delay><Correction>0</Correction></Decimation>"
        "<StageGain><Value>1</Value><Frequency>0</Frequency></StageGain></Stage></Response>")


def write_inventory(path, megabytes, rng):
    """Networks of stations, each with channels and their responses, to
    about the size asked; returns the number of stations."""
    channel_response = response()
    stations = 0
    with open(path, "w") as f:
        f.write(f'<?xml version="1.0" encoding="UTF-8"?>\n<FDSNStationXML xmlns="{STATION}" '
                'schemaVersion="1.1"><Source>bench</Source><Created>2026-01-01T00:00:00</Created>\n')
        network = 0
        while f.tell() < megabytes * 1e6:
            f.write(f'<Network code="N{network}" startDate="2000-01-01T00:00:00">\n')
            for _ in range(100):
                lat, lon = rng.uniform(-90, 90), rng.uniform(-180, 180)
                f.write(f'<Station code="S{stations}" startDate="2001-01-01T00:00:00">'
                        f"<Latitude>{lat:.4f}</Latitude><Longitude>{lon:.4f}</Longitude>"
                        f"<Elevation>{rng.uniform(0, 3000):.1f}</Elevation>"
                        f"<Site><Name>Site {stations}, somewhere</Name></Site>\n")
                for code in ("BHZ", "BHN", "BHE"):
                    f.write(f'<Channel code="{code}" locationCode="00" startDate="2001-01-01T00:00:00">'
                            f"<Latitude>{lat:.4f}</Latitude><Longitude>{lon:.4f}</Longitude>"
                            "<Elevation>10</Elevation><Depth>0</Depth><Azimuth>0</Azimuth>"
                            f"<Dip>-90</Dip><SampleRate>40</SampleRate>{channel_response}</Channel>\n")
                f.write("</Station>\n")
                stations += 1
            f.write("</Network>\n")
            network += 1
        f.write("</FDSNStationXML>\n")
    return stations


def quakeml_events(count, rng, first=0):
    """count events of QuakeML as a catalogue service writes them: a
    description, two origins (the second preferred), two magnitudes."""
    for k in range(first, first + count):
        lat, lon, depth = rng.uniform(-90, 90), rng.uniform(-180, 180), rng.uniform(0, 700e3)
        yield (
            f'<event publicID="smi:bench/event/{k}"><description><text>Region {k % 700}</text>'
            "<type>region name</type></description>"
            f"<preferredOriginID>smi:bench/origin/{k}b</preferredOriginID>"
            f"<preferredMagnitudeID>smi:bench/magnitude/{k}a</preferredMagnitudeID>"
            f'<origin publicID="smi:bench/origin/{k}a"><time><value>2020-01-01T00:00:00Z</value></time>'
            f"<latitude><value>{lat + 0.1:.4f}</value></latitude><longitude><value>{lon:.4f}</value>"
            f"</longitude><depth><value>{depth:.0f}</value></depth>"
            "<creationInfo><author>first</author></creationInfo></origin>"
            f'<origin publicID="smi:bench/origin/{k}b"><time><value>2020-01-01T00:00:01.5Z</value>'
            f"</time><latitude><value>{lat:.4f}</value><uncertainty>0.01</uncertainty></latitude>"
            f"<longitude><value>{lon:.4f}</value></longitude><depth><value>{depth:.1f}</value>"
            "<uncertainty>1000</uncertainty></depth><quality><usedPhaseCount>40</usedPhaseCount>"
            "<standardError>0.9</standardError></quality><creationInfo><author>us</author>"
            "<agencyID>US</agencyID></creationInfo></origin>"
            f'<magnitude publicID="smi:bench/magnitude/{k}a"><mag><value>{rng.uniform(3, 8):.1f}'
            f"</value></mag><type>mb</type><originID>smi:bench/origin/{k}b</originID>"
            "<creationInfo><author>us</author></creationInfo></magnitude>"
            f'<magnitude publicID="smi:bench/magnitude/{k}b"><mag><value>5.0</value></mag>'
            "<type>Ms</type></magnitude><creationInfo><agencyID>ISC</agencyID></creationInfo>"
            "<type>earthquake</type></event>\n")


def quakeml_head():
    return (f"<?xml version='1.0' encoding='utf-8'?>\n<q:quakeml xmlns:q=\"http://quakeml.org/xmlns/"
            f'quakeml/1.2" xmlns="{BED}"><eventParameters publicID="smi:bench/catalogue">\n')


QUAKEML_TAIL = "</eventParameters></q:quakeml>\n"


def write_catalogue(path, count, rng):
    with open(path, "w") as f:
        f.write(quakeml_head())
        for chunk in range(0, count, 10000):
            f.write("".join(quakeml_events(min(10000, count - chunk), rng, chunk)))
        f.write(QUAKEML_TAIL)


def lxml_stations(path):
    """The station-level fields, each station's subtree freed once read."""
    from lxml import etree

    ns = "{" + STATION + "}"
    rows = []
    network = ""
    for action, e in etree.iterparse(str(path), events=("start", "end"),
                                     tag=(ns + "Network", ns + "Station")):
        if e.tag == ns + "Network":
            if action == "start":
                network = e.get("code")
            continue
        if action == "start":
            continue
        rows.append((network, e.get("code"), float(e.findtext(ns + "Latitude")),
                     float(e.findtext(ns + "Longitude")), float(e.findtext(ns + "Elevation")),
                     e.findtext(ns + "Site/" + ns + "Name"), e.get("startDate"), e.get("endDate")))
        e.clear()
        while e.getprevious() is not None:
            del e.getparent()[0]
    return rows


def lxml_events(path):
    """Each event's preferred origin and magnitude, each event freed once read."""
    from lxml import etree

    ns = "{" + BED + "}"
    rows = []
    for _, e in etree.iterparse(str(path), events=("end",), tag=ns + "event"):
        want_origin = (e.findtext(ns + "preferredOriginID") or "").strip()
        want_magnitude = (e.findtext(ns + "preferredMagnitudeID") or "").strip()
        origins = e.findall(ns + "origin")
        magnitudes = e.findall(ns + "magnitude")
        o = next((x for x in origins if x.get("publicID") == want_origin), origins[0])
        m = next((x for x in magnitudes if x.get("publicID") == want_magnitude),
                 magnitudes[0] if magnitudes else None)
        rows.append((e.get("publicID"), o.findtext(f"{ns}time/{ns}value"),
                     float(o.findtext(f"{ns}latitude/{ns}value")),
                     float(o.findtext(f"{ns}longitude/{ns}value")),
                     float(o.findtext(f"{ns}depth/{ns}value")) / 1000,
                     o.findtext(f"{ns}creationInfo/{ns}author"),
                     m.findtext(f"{ns}type") if m is not None else "",
                     float(m.findtext(f"{ns}mag/{ns}value")) if m is not None else np.nan,
                     e.findtext(f"{ns}description/{ns}text")))
        e.clear()
        while e.getprevious() is not None:
            del e.getparent()[0]
    return rows


def text_of(path):
    subprocess.run([filter_program, "--text", str(path)], stdout=subprocess.DEVNULL, check=True)


def stream_memory(count, rng):
    """The peak resident memory of `ostrem --text -` over a QuakeML stream
    of count events from a pipe (KiB): its VmHWM, read while it runs (its
    rusage would count the memory of the Python it was started from)."""
    import threading

    p = subprocess.Popen([filter_program, "--text", "-"], stdin=subprocess.PIPE,
                         stdout=subprocess.DEVNULL)
    peak = [0]

    def watch():
        while p.poll() is None:
            try:
                for line in Path(f"/proc/{p.pid}/status").read_text().splitlines():
                    if line.startswith("VmHWM:"):
                        peak[0] = max(peak[0], int(line.split()[1]))
            except (FileNotFoundError, ProcessLookupError, ValueError):
                pass
            time.sleep(0.02)

    watcher = threading.Thread(target=watch)
    watcher.start()
    p.stdin.write(quakeml_head().encode())
    for chunk in range(0, count, 10000):
        p.stdin.write("".join(quakeml_events(min(10000, count - chunk), rng, chunk)).encode())
    p.stdin.write(QUAKEML_TAIL.encode())
    # Held open a moment, so that the last reading comes after the last event.
    time.sleep(0.2)
    p.stdin.close()
    p.wait()
    watcher.join()
    return peak[0]


def main():
    rng = np.random.default_rng(20261209)
    peer = have("lxml")
    with tempfile.TemporaryDirectory() as folder:
        inventory = Path(folder) / "inventory.xml"
        catalogue = Path(folder) / "catalogue.xml"
        stations = write_inventory(inventory, 100 * scale, rng)
        events = int(100000 * scale)
        write_catalogue(catalogue, events, rng)
        print(f"StationXML: {inventory.stat().st_size / 1e6:.1f} MB, {stations} stations, "
              f"{3 * stations} channels; QuakeML: {catalogue.stat().st_size / 1e6:.1f} MB, "
              f"{events} events")
        if peer:
            assert len(lxml_stations(inventory)) == len(ostrem.read_stations(inventory)) == stations
            assert len(lxml_events(catalogue)) == len(ostrem.read_events(catalogue)) == events
        cases = {"ostrem --text inventory.xml": lambda: text_of(inventory),
                 "ostrem.read_stations (DataFrame)": lambda: ostrem.read_stations(inventory)}
        if peer:
            cases["lxml iterparse, the same fields"] = lambda: lxml_stations(inventory)
        base = "lxml iterparse, the same fields" if peer else "ostrem --text inventory.xml"
        report("A channel-level StationXML inventory", timed(cases), base)
        cases = {"ostrem --text catalogue.xml": lambda: text_of(catalogue),
                 "ostrem.read_events (DataFrame)": lambda: ostrem.read_events(catalogue)}
        if peer:
            cases["lxml iterparse, the same fields"] = lambda: lxml_events(catalogue)
        base = "lxml iterparse, the same fields" if peer else "ostrem --text catalogue.xml"
        report("A QuakeML catalogue", timed(cases), base)
    count = int(os.environ.get("EVENTS_IN_STREAM", 1000000))
    print(f"\nostrem --text - over {count} QuakeML events from a pipe: "
          f"{stream_memory(count, rng) / 1024:.1f} MiB resident at most")


if __name__ == "__main__":
    main()
