// StationXML and QuakeML read as the FDSN text the same inventory and
// catalogue give: by the reader alone, whatever blocks it is fed in, and
// through the filter (--text, -S, the input, names, refusals).
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fdsn_xml.h"
#include "run.h"

namespace {

const std::string filter = FILTER_PATH;
const std::string data = std::string(SOURCE_DIR) + "/tests/data/";

std::string contents(const std::string &name)
{
    std::ifstream in(data + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string problems_of(const files::Converted &c)
{
    std::string all;
    for (const files::Problem &p : c.problems)
        all += std::to_string(p.line) + ": " + p.what + "\n";
    return all;
}

const std::string station_problems = "42: the station has no latitude\n";
const std::string event_problems =
    "49: the event has no origin\n53: the origin's latitude is not a number: north\n";

TEST(Files, StationXmlOfEachVersionIsTheTextOfTheSameInventory)
{
    const std::string xml = contents("inventory.xml");
    for (const char *version : {"1.0", "1.1", "1.2"}) {
        std::string v = xml;
        v.replace(v.find("schemaVersion=\"1.2\""), 19, std::string("schemaVersion=\"") + version + "\"");
        files::Converted c = files::convert(v.data(), v.size(), true);
        EXPECT_EQ(c.kind, files::Kind::stations) << version;
        EXPECT_EQ(c.text, contents("inventory.txt")) << version;
        EXPECT_EQ(problems_of(c), station_problems) << version;
    }
}

// Any split of the file into blocks gives the text of the whole.
TEST(Files, QuakeMlInAnyBlocksIsTheTextOfTheSameCatalogue)
{
    const std::string xml = contents("catalogue.xml");
    for (size_t block : {size_t(1), size_t(7), size_t(4096), xml.size()}) {
        files::XmlText reader;
        std::string text;
        for (size_t at = 0; at < xml.size(); at += block)
            ASSERT_TRUE(reader.feed(xml.data() + at, std::min(block, xml.size() - at), false, text));
        ASSERT_TRUE(reader.feed(nullptr, 0, true, text));
        EXPECT_EQ(text, contents("catalogue.txt")) << block;
        files::Converted c;
        c.problems = reader.problems();
        EXPECT_EQ(problems_of(c), event_problems) << block;
    }
}

// One event whose origin is at depth `metres`.
std::string event_at_depth(const std::string &metres)
{
    return "<quakeml xmlns='http://quakeml.org/xmlns/quakeml/1.2'><eventParameters "
           "xmlns='http://quakeml.org/xmlns/bed/1.2'><event publicID='e'><origin publicID='o'>"
           "<latitude><value>1</value></latitude><longitude><value>2</value></longitude><depth><value>" +
           metres + "</value></depth></origin></event></eventParameters></quakeml>";
}

TEST(Files, DepthInKilometresIsTheMetresExactDecimal)
{
    const struct {
        const char *metres, *km;
    } depths[] = {
        {"30000", "30"},  {"29012.5", "29.0125"}, {"500", "0.5"},    {"-500", "-0.5"},  {"0", "0"},
        {"-0.0", "0"},    {"12", "0.012"},        {"+1000", "1"},    {".5", "0.0005"},  {"1.5e4", "15"},
        {"007000", "7"},  {"123456789.25", "123456.78925"},
    };
    for (const auto &d : depths) {
        const std::string xml = event_at_depth(d.metres);
        files::Converted c = files::convert(xml.data(), xml.size(), false);
        EXPECT_EQ(c.text, std::string("e||1|2|") + d.km + "||||||||\n") << d.metres;
    }
}

// One event of two origins and two magnitudes, under the root given.
std::string event_under(const std::string &root, const std::string &close, const std::string &preferred = "")
{
    return root + "<eventParameters publicID='p'><event publicID='e'>" + preferred +
           "<origin publicID='o'><time><value>2011-03-11T05:46:24Z</value></time><latitude><value>38.3"
           "</value></latitude><longitude><value>142.4</value></longitude><depth><value>29000</value>"
           "</depth></origin><magnitude publicID='m1'><mag><value>7.11</value></mag><type>mb</type>"
           "</magnitude><magnitude publicID='m2'><mag><value>9.0</value></mag><type>Mw</type></magnitude>"
           "<magnitude publicID='m3'><mag><value>8.9</value></mag><type>Mww</type></magnitude>"
           "</event></eventParameters>" + close;
}

// QuakeML 1.0, 1.1 and 1.2, with the elements in the BED namespace or in
// the root's own (a default namespace on the root), read alike.
TEST(Files, QuakeMlOfEveryVersionAndNamespaceIsTheSameText)
{
    const std::string ns = "http://quakeml.org/xmlns/";
    const std::string roots[][2] = {
        {"<q:quakeml xmlns:q='" + ns + "quakeml/1.2' xmlns='" + ns + "bed/1.2'>", "</q:quakeml>"},
        {"<quakeml xmlns='" + ns + "quakeml/1.2'>", "</quakeml>"},
        {"<q:quakeml xmlns:q='" + ns + "quakeml/1.1' xmlns='" + ns + "bed/1.1'>", "</q:quakeml>"},
        {"<q:quakeml xmlns:q='" + ns + "quakeml/1.0' xmlns='" + ns + "bed/1.0'>", "</q:quakeml>"},
        {"<quakeml xmlns='" + ns + "quakeml/1.0'>", "</quakeml>"},
        {"<b:eventParameters xmlns:b='" + ns + "bed/1.0' xmlns='" + ns + "bed/1.0'>", "</b:eventParameters>"},
    };
    for (const auto &root : roots) {
        std::string xml = event_under(root[0], root[1]);
        if (root[0].find("<b:eventParameters") != std::string::npos)  // the root is the parameters
            xml = root[0] + xml.substr(xml.find("<event "), xml.find("</eventParameters>") - xml.find("<event ")) +
                  root[1];
        files::Converted c = files::convert(xml.data(), xml.size(), false);
        EXPECT_EQ(c.kind, files::Kind::events) << root[0];
        EXPECT_EQ(c.text, "e|2011-03-11T05:46:24Z|38.3|142.4|29|||||mb|7.11||\n") << root[0];
        EXPECT_EQ(problems_of(c), "") << root[0];
    }
}

// A document of a known kind that gives no line says so at its root,
// unless its entities were bad (each has said why).
TEST(Files, ADocumentThatGivesNothingSaysSo)
{
    const std::string bed = "'http://quakeml.org/xmlns/bed/1.2'";
    const struct {
        std::string xml, problems;
    } cases[] = {
        {"<q:quakeml xmlns:q='http://quakeml.org/xmlns/quakeml/1.2' xmlns=" + bed +
             ">\n<eventParameters publicID='p'/></q:quakeml>",
         "1: the QuakeML holds no event\n"},
        {"\n<FDSNStationXML xmlns='http://www.fdsn.org/xml/station/1'><Source>x</Source></FDSNStationXML>",
         "2: the StationXML holds no station\n"},
        // Events in a namespace of no QuakeML: passed over, so not silently.
        {"<q:quakeml xmlns:q='http://quakeml.org/xmlns/quakeml/1.2' xmlns='urn:bed'><eventParameters>"
         "<event><origin><latitude><value>1</value></latitude><longitude><value>2</value></longitude>"
         "</origin></event></eventParameters></q:quakeml>",
         "1: the QuakeML holds no event\n"},
        {"<quakeml xmlns='http://quakeml.org/xmlns/quakeml/1.2'><eventParameters><event/>"
         "</eventParameters></quakeml>",
         "1: the event has no origin\n"},
    };
    for (const auto &c : cases) {
        files::Converted got = files::convert(c.xml.data(), c.xml.size(), true);
        EXPECT_FALSE(got.malformed) << c.xml;
        EXPECT_EQ(problems_of(got), c.problems) << c.xml;
    }
}

// The magnitude an event's line gives, by the types asked for.
TEST(Files, MagnitudeTypesChooseTheMagnitude)
{
    const std::string root = "<quakeml xmlns='http://quakeml.org/xmlns/quakeml/1.2'>", close = "</quakeml>";
    const std::string prefers_mb = "<preferredMagnitudeID> m1 </preferredMagnitudeID>";
    const std::string prefers_gone = "<preferredMagnitudeID>m9</preferredMagnitudeID>";
    const struct {
        const char *types;
        bool instead;
        std::string preferred, chosen;
    } cases[] = {
        {nullptr, false, "", "mb|7.11"},                   // the first, as before
        {"Mw,Mww,Ms,mb", false, "", "Mw|9.0"},
        {"mww,mw", false, "", "Mww|8.9"},                  // case ignored
        {"Ms,ML", false, "", "mb|7.11"},                   // none listed: the first
        {"Mw", false, prefers_mb, "mb|7.11"},              // the preferred one stands
        {"Mw", false, prefers_gone, "Mw|9.0"},             // named, but not there
        {"Mww", true, prefers_mb, "Mww|8.9"},              // in place of the preferred
        {"Ms", true, prefers_mb, "mb|7.11"},               // none listed: the preferred
    };
    for (const auto &c : cases) {
        files::Magnitudes m;
        if (c.types)
            ASSERT_TRUE(files::magnitude_types(c.types, m));
        m.instead = c.instead;
        const std::string xml = event_under(root, close, c.preferred);
        files::Converted got = files::convert(xml.data(), xml.size(), false, false, files::Kind::unknown, m);
        EXPECT_EQ(got.text, "e|2011-03-11T05:46:24Z|38.3|142.4|29|||||" + c.chosen + "||\n")
            << (c.types ? c.types : "none") << " " << c.preferred;
    }
    files::Magnitudes m;
    for (const char *bad : {"", "Mw,", ",mb", "Mw,,mb"})
        EXPECT_FALSE(files::magnitude_types(bad, m)) << bad;
    const TempFile events(event_under(root, close));
    Outcome r = run(filter, {"--text", "--magnitudes", "Mw", events.path});
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "e|2011-03-11T05:46:24Z|38.3|142.4|29|||||Mw|9.0||\n");
    r = run(filter, {"--magnitudes-first", "ms,mww", "-e", "0,0", "-a", events.path});
    EXPECT_EQ(r.out.substr(0, r.out.find("||", 40)), "e|2011-03-11T05:46:24Z|38.3|142.4|29|||||Mww|8.9");
    EXPECT_EQ(run(filter, {"--magnitudes", "Mw,", events.path}).status, 2);
}

// --text of several files writes a header where it changes: the tables
// of one kind are one table.
TEST(Files, TextOfFilesOfOneKindHasOneHeader)
{
    const std::string stations = contents("inventory.txt"), events = contents("catalogue.txt");
    auto body = [](const std::string &t) { return t.substr(t.find('\n') + 1); };
    const TempFile marked("\xEF\xBB\xBF" + stations);
    Outcome r = run(filter, {"--text", data + "inventory.xml", data + "inventory.txt", marked.path,
                             data + "catalogue.txt", data + "catalogue.xml", data + "inventory.txt"});
    EXPECT_EQ(r.out, stations + body(stations) + body(stations) + events + body(events) + stations);
    // A first line that is no header is never left out, however long.
    const TempFile plain("1 2 3\n"), long_line(std::string(100000, '#'));
    r = run(filter, {"--text", plain.path, plain.path, long_line.path, long_line.path});
    EXPECT_EQ(r.out, "1 2 3\n1 2 3\n" + std::string(200000, '#'));
}

// Under -H the output's header names every column once: trimmed, one '#'
// (the first), a station's name the line has prefixed station_, a
// result's that either has prefixed ostrem_; a header with none of these
// is written as it stands.
TEST(Files, OutputHeaderNamesEachColumnOnce)
{
    const TempFile stations("lat lon station_lat\n0 1 x\n"), fdsn("#Network|Station|Latitude|Longitude\nIU|A|0|1\n");
    const struct {
        std::string in;
        std::vector<std::string> args;
        std::string header;
    } cases[] = {
        {"#EventID | Time | Latitude | Longitude\nx | t | 0 | 0\n", {"-e", "0,0", "-a", "-o", ","},
         "#EventID,Time,Latitude,Longitude,dist,az,baz"},
        {"#EventID | Time | Latitude | Longitude\nx | t | 0 | 0\n", {"-e", "0,0", "-a"},
         "#EventID|Time|Latitude|Longitude|dist|az|baz"},
        {"lat,lon,gap,DMIN\n0,0,1,2\n", {"-S", fdsn.path, "-G", "-a"},
         "lat,lon,gap,DMIN,n,ostrem_dmin,ostrem_gap,gap2"},
        {"lat lon\n0 0\n", {"-S", stations.path, "-a"},
         "lat lon station_lat station_lon station_station_lat dist az baz"},
        {"lat,Latitude,dist\n0,0,0\n", {"-S", fdsn.path, "-a", "-o", ";"},
         "lat;Latitude;dist;Network;Station;station_Latitude;Longitude;ostrem_dist;az;baz"},
        {"lat  lon\n0 0\n", {"-e", "0,0", "-a"}, "lat  lon dist az baz"},
        {"#lat|lon\n0|0\n", {"-d", "|", "-S", fdsn.path, "-a", "-F", "3,4", "-D", "|"},
         "#lat|lon|Network|Station|Latitude|Longitude|dist|az|baz"},
    };
    for (const auto &c : cases) {
        const TempFile in(c.in);
        std::vector<std::string> args = {"-H"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(in.path);
        const Outcome r = run(filter, args);
        EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.header) << c.in;
        EXPECT_EQ(r.status, 0) << c.in << r.err;
    }
}

// FDSN's event, station and channel texts are told from their headers:
// '|' and their latitude and longitude are the defaults, as for XML,
// unless fields are given by number (counted as blanks split them).
TEST(Files, FdsnTextIsToldFromItsHeader)
{
    const TempFile events("#EventID | Time | Latitude | Longitude | Depth/km\ne | t | 0 | 0 | 5\n");
    const TempFile channels("#Network|Station|Location|Channel|Latitude|Longitude\nIU|A|00|BHZ|0|1\n");
    const std::string stations = data + "inventory.txt";
    const struct {
        std::vector<std::string> args;
        std::string in, out;
    } cases[] = {
        {{"-e", "0,1", events.path}, "", "1.00|270.00|90.00\n"},
        {{"-S", channels.path, events.path}, "", "e | t | 0 | 0 | 5|IU|A|||0|1|1.00|90.00|270.00\n"},
        {{"-S", "-", events.path}, channels.path, "e | t | 0 | 0 | 5|IU|A|||0|1|1.00|90.00|270.00\n"},
        {{"-H", "-S", stations, "-F", "Latitude,Longitude", "-f", "Latitude,Longitude", "-r", "0,15", events.path},
         "", "#EventID|Time|Latitude|Longitude|Depth/km|Network|Station|station_Latitude|station_Longitude|"
             "Elevation|SiteName|StartTime|EndTime|dist|az|baz\n"},
        // By number, without -d: the fields blanks give, as before.
        {{"-e", "0,1", "-f", "5,7", events.path}, "", "1.00 270.00 90.00\n"},
    };
    for (const auto &c : cases) {
        const Outcome r = run(filter, c.args, {}, c.in);
        const bool header = c.args[0] == "-H";  // else the header is a comment, copied
        EXPECT_EQ(r.out, (header ? "" : "#EventID | Time | Latitude | Longitude | Depth/km\n") + c.out)
            << c.args[1] << r.err;
        EXPECT_EQ(r.status, 0) << c.args[1];
    }
}

// -P under -S takes each event's depth from its file (FDSN text or
// QuakeML alike) and, with -t and -I, writes the arrivals as instants: the
// origin 05:46:24.12 and 743.434 s make 05:58:47.554.  An event without a
// depth is reported as any empty field is.
TEST(Files, ArrivalsTakeTheEventsDepthAndTime)
{
    const std::string stations = data + "inventory.txt";
    const std::string quake =
        "smi:local/event/1|2011-03-11T05:46:24.12Z|38.297|142.373|29.0125|us|ISC|||mb|8.9|NEIC|"
        "NEAR EAST COAST OF HONSHU, JAPAN|";
    const std::string anmo = "IU|ANMO|34.945981|-106.457133|1671|Albuquerque New Mexico|2002-11-19T21:07:00Z||";
    const std::string fur = "GR|FUR|48.1629|11.2752|565|Fuerstenfeldbruck, \"Bavaria\"|2006-12-16T00:00:00||";
    const struct {
        std::vector<std::string> args;
        std::string pair, arrival;
    } cases[] = {
        {{"-P", "P", data + "catalogue.txt"}, anmo + "83.19|50.49|312.36|", "743.434"},
        {{"-P", "P", data + "catalogue.xml"}, anmo + "83.19|50.49|312.36|", "743.434"},
        {{"-P", "P", "-t", "2", "-T", "7,8", "-I", data + "catalogue.txt"}, anmo + "83.19|50.49|312.36|",
         "2011-03-11T05:58:47.554Z"},
        {{"-P", "P", "-t", "2", "-T", "7,8", "-I", data + "catalogue.txt"}, fur + "83.56|329.49|36.63|",
         "2011-03-11T05:58:49.430Z"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"-S", stations, "-r", "80,90"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = run(filter, args);
        EXPECT_NE(r.out.find(quake + c.pair + c.arrival + "\n"), std::string::npos) << c.args.back() << r.out;
        EXPECT_NE(r.err.find("catalogue." + std::string(c.args.back().back() == 't' ? "txt:4" : "xml:3") +
                             ": field 5 is empty"),
                  std::string::npos)
            << r.err;
    }
}

// --request: each pair a line of the data centres' request, its times
// from the files themselves; channels' own codes with --channels (an
// empty location is "--"), any ("*") where the file lists stations; a
// pair where nothing arrives asks for nothing, a header or comment is no
// line of the request, and a file without codes is refused.
TEST(Files, RequestsForTheDataCentres)
{
    const struct {
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {{"-S", data + "inventory.txt", "-P", "P", "--request", "60,600", data + "catalogue.txt"},
         "IU ANMO * * 2011-03-11T05:57:47.554 2011-03-11T06:08:47.554\n"
         "GR FUR * * 2011-03-11T05:57:49.430 2011-03-11T06:08:49.430\n"
         "GR FUR * * 2012-04-04T14:29:17.683 2012-04-04T14:40:17.683\n",
         1},
        {{"-S", data + "inventory.xml", "-P", "firstP", "--request", "30,300", data + "catalogue.xml"},
         "IU ANMO * * 2011-03-11T05:58:17.554 2011-03-11T06:03:47.554\n", 1},
        {{"-S", data + "channels.txt", "--channels", "-P", "P", "--request", "10,100", data + "catalogue.txt"},
         "IU ANMO 00 BHZ 2011-03-11T05:58:37.554 2011-03-11T06:00:27.554\n"
         "IU ANMO 10 HHZ 2011-03-11T05:58:37.554 2011-03-11T06:00:27.554\n"
         "IU ANMO 00 LHZ 2011-03-11T05:58:37.554 2011-03-11T06:00:27.554\n"
         "GR FUR -- BHZ 2011-03-11T05:58:39.430 2011-03-11T06:00:29.430\n",
         1},
    };
    for (const auto &c : cases) {
        const Outcome r = run(filter, c.args);
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out) << c.args[1];
        EXPECT_EQ(r.out.find('#'), std::string::npos);
        EXPECT_EQ(r.status, c.status) << r.err;
    }
    const TempFile plain("1 2\n");
    const Outcome r = run(filter, {"-S", plain.path, "-P", "P", "-t", "2", "-T", "1,2", "--request", "1,2",
                                   data + "catalogue.txt"});
    EXPECT_EQ(r.err, "ostrem: " + plain.path + ": --request needs the stations' codes: FDSN station text or StationXML\n");
    EXPECT_EQ(r.status, 2);
}

// A channel-level table pairs each station epoch once: -G counts
// stations, -N chooses among them, a bad line is said at the file's line;
// --channels keeps a line per channel.
TEST(Files, ChannelsArePairedAsTheirStations)
{
    std::string table = contents("channels.txt");
    table.insert(table.find("# a comment"), "GR|BAD|00|BHZ|48|11|500|0|0|-90|x|1|1|M/S|20|yesterday|\n");
    const TempFile channels(table);
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-G"}, "40 0 5 11.25 265.62 265.62\n"},
        {{"-G", "-t", "3", "-T", "16,17"}, "40 0 2021-01-01 3 11.49 265.62 359.98\n"},
        {{"-G", "--channels"}, "40 0 10 11.25 265.62 265.62\n"},
        {{"-N", "2"}, "40 0 GR|BAD|00|BHZ|48|11|500|0|0|-90|x|1|1|M/S|20|yesterday| 11.25 41.07 228.72\n"
                      "40 0 GR|FUR|||48.1629|11.2752|565|||||||||2006-12-16T00:00:00| 11.49 41.07 228.92\n"},
        // Its four channels from 2002 on are one epoch, still running.
        {{"-r", "70,90", "-t", "3", "-T", "16,17"},
         "40 0 2021-01-01 IU|ANMO|||34.945981|-106.457133|1671.0|||||||||2002-11-19T21:07:00| 79.26 306.69 48.58\n"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"-S", channels.path};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const bool times = std::find(args.begin(), args.end(), "-t") != args.end();
        const TempFile quake(times ? "40 0 2021-01-01\n" : "40 0\n");
        Outcome r = run(filter, args, {}, quake.path);
        EXPECT_EQ(r.out, c.out) << c.args[0];
        // The bad time is said at the file's own line, under -T.
        EXPECT_EQ(r.err, times ? "ostrem: " + channels.path + ":8: field 16 is not a time: yesterday\n" : "")
            << c.args[0];
    }
}

// What cannot be read as either kind: where, and what is wrong.
TEST(Files, BadXmlIsSaidWhereItIs)
{
    const struct {
        std::string xml;
        files::Kind kind;
        bool malformed;
        std::string problems, root;
    } cases[] = {
        {"<FDSNStationXML xmlns='http://www.fdsn.org/xml/station/1'>\n<Network code='X'>\n"
         "<Station code='A'><Latitude>1</Latitude>\n",
         files::Kind::stations, true, "4: bad XML: no element found (column 1)\n", "FDSNStationXML"},
        {"<FDSNStationXML>\n<Network></Station>", files::Kind::stations, true,
         "2: bad XML: mismatched tag (column 12)\n", "FDSNStationXML"},
        {"", files::Kind::unknown, true, "1: bad XML: no element found (column 1)\n", ""},
        {"<?xml version='1.0'?>\n<html><body/></html>", files::Kind::other, false, "", "html"},
        // QuakeML's root in another namespace is no QuakeML.
        {"<quakeml xmlns='urn:other'/>", files::Kind::other, false, "", "quakeml"},
        // Coordinates out of range, and an event whose only origin has none.
        {"<FDSNStationXML xmlns='http://www.fdsn.org/xml/station/1'><Network code='X'>\n"
         "<Station code='A'><Latitude>91</Latitude><Longitude>0</Longitude></Station></Network>"
         "</FDSNStationXML>",
         files::Kind::stations, false,
         "2: the station's latitude 91 is out of range (latitude -90 to 90)\n", "FDSNStationXML"},
    };
    for (const auto &c : cases) {
        files::Converted got = files::convert(c.xml.data(), c.xml.size(), false);
        EXPECT_EQ(got.kind, c.kind) << c.xml;
        EXPECT_EQ(got.malformed, c.malformed) << c.xml;
        EXPECT_EQ(problems_of(got), c.problems) << c.xml;
        EXPECT_EQ(got.root, c.root) << c.xml;
        EXPECT_EQ(got.text, "") << c.xml;
    }
}

std::string text_of(const std::string &xml, bool whole, std::string *problems)
{
    files::XmlText reader;
    if (whole)
        reader.read_whole();
    std::string text;
    reader.feed(xml.data(), xml.size(), true, text);
    files::Converted c;
    c.problems = reader.problems();
    *problems = problems_of(c);
    return text;
}

// Skimming the content of channels (and picks) gives what parsing all
// of it gives, lines of later messages included, whatever the content
// holds: its own end tag in a comment or CDATA, a '>' in an attribute,
// a nested element of the same name.
TEST(Files, SkimmedAsReadWhole)
{
    const std::string head = "<FDSNStationXML xmlns='http://www.fdsn.org/xml/station/1'><Network code='X'>\n"
                             "<Station code='A'><Latitude>1</Latitude><Longitude>2</Longitude>\n";
    const std::string tail = "</Station>\n<Station code='B'>\n</Station></Network></FDSNStationXML>";
    const std::string channels[] = {
        "<Channel code='Z'><Latitude>9</Latitude>\n<!-- </Channel> -->\n</Channel>",
        "<Channel a='>' b=\"/>\">\n<![CDATA[</Channel><Latitude>]]>\n</Channel >",
        "<Channel><Channel>\n</Channel><Latitude>8</Latitude>\n</Channel>",
        "<Channel/><Channel code='E'/>\n<?pi </Channel> ?>",
        "<Channel><sta:Channel xmlns:sta='urn:x'>\n</sta:Channel></Channel>",
        "<ChannelGroup><Latitude>7</Latitude></ChannelGroup>\n",
    };
    for (const std::string &c : channels) {
        const std::string xml = head + c + tail;
        std::string skimmed, parsed;
        EXPECT_EQ(text_of(xml, false, &skimmed), text_of(xml, true, &parsed)) << c;
        EXPECT_EQ(skimmed, parsed) << c;
        EXPECT_NE(parsed.find("the station has no latitude"), std::string::npos) << c;
    }
}

TEST(Files, TextWritesTheXmlAsFdsnText)
{
    Outcome r = run(filter, {"--text", data + "inventory.xml", data + "catalogue.xml"});
    EXPECT_EQ(r.out, contents("inventory.txt") + contents("catalogue.txt"));
    EXPECT_EQ(r.err, "ostrem: " + data + "inventory.xml:42: the station has no latitude\n"
                     "ostrem: " + data + "catalogue.xml:49: the event has no origin\n"
                     "ostrem: " + data + "catalogue.xml:53: the origin's latitude is not a number: north\n");
    EXPECT_EQ(r.status, 1);
    // Text is copied as it is.
    r = run(filter, {"--text", data + "inventory.txt"});
    EXPECT_EQ(r.out, contents("inventory.txt"));
    EXPECT_EQ(r.status, 0);
}

// The filter takes the XML as the text it stands for: -S's columns and
// the events' ('|', fields 3 and 4) by default, and their names under -H,
// the events read from standard input or a file.
TEST(Files, XmlThroughTheFilterIsItsText)
{
    const std::string stations = data + "inventory.xml", events = data + "catalogue.xml";
    const std::vector<std::vector<std::string>> asked = {
        {"-S", stations, "-r", "0,84"},
        {"-S", stations, "-r", "0,84", "-", "<", events},
        {"-S", stations, "-r", "0,84", "-H", "-F", "latitude,Longitude", "-f",
         "Latitude,longitude", "-", "<", events},
        {"-S", stations, "-r", "0,84", "-D", "|", "-F", "3,4", "-d", "|", "-f", "3,4", events},
    };
    // One '#', and the station's names that the event's has set apart.
    const std::string head = "#EventID|Time|Latitude|Longitude|Depth/km|Author|Catalog|Contributor|"
                             "ContributorID|MagType|Magnitude|MagAuthor|EventLocationName|Network|Station|"
                             "station_Latitude|station_Longitude|Elevation|SiteName|StartTime|EndTime|dist|az|baz\n";
    const std::string pairs =
        "smi:local/event/1|2011-03-11T05:46:24.12Z|38.297|142.373|29.0125|us|ISC|||mb|8.9|NEIC|NEAR EAST "
        "COAST OF HONSHU, JAPAN|IU|ANMO|34.9459|-106.4572|1850.0|Albuquerque, New Mexico, "
        "USA|1989-08-29T00:00:00Z|1995-07-14T00:00:00Z|83.19|50.49|312.36\n"
        "smi:local/event/1|2011-03-11T05:46:24.12Z|38.297|142.373|29.0125|us|ISC|||mb|8.9|NEIC|NEAR EAST "
        "COAST OF HONSHU, JAPAN|IU|ANMO|34.945981|-106.457133|1671|Albuquerque New "
        "Mexico|2002-11-19T21:07:00Z||83.19|50.49|312.36\n"
        "smi:local/event/1|2011-03-11T05:46:24.12Z|38.297|142.373|29.0125|us|ISC|||mb|8.9|NEIC|NEAR EAST "
        "COAST OF HONSHU, JAPAN|GR|FUR|48.1629|11.2752|565|Fuerstenfeldbruck, "
        "\"Bavaria\"|2006-12-16T00:00:00||83.56|329.49|36.63\n"
        "smi:local/event/2|2012-04-04T14:21:42.3|41.818|79.689|0.5|||||mb|4.4|||GR|FUR|48.1629|11.2752|565|"
        "Fuerstenfeldbruck, \"Bavaria\"|2006-12-16T00:00:00||47.35|302.17|70.92\n";
    for (std::vector<std::string> args : asked) {
        std::string in = "/dev/null";
        if (args.size() >= 2 && args[args.size() - 2] == "<") {
            in = args.back();
            args.resize(args.size() - 2);
        }
        const bool header = std::find(args.begin(), args.end(), "-H") != args.end();
        if (args.back() == "0,84")
            args.push_back(events);
        Outcome r = run(filter, args, {}, in);
        const std::string name = in == "/dev/null" ? events : "-";
        EXPECT_EQ(r.out, (header ? head : "") + pairs) << args[5];
        EXPECT_EQ(r.err, "ostrem: " + stations + ":42: the station has no latitude\n"
                         "ostrem: " + name + ":49: the event has no origin\n"
                         "ostrem: " + name + ":53: the origin's latitude is not a number: north\n")
            << args[5];
        EXPECT_EQ(r.status, 1);
    }
}

// QuakeML that comes slowly through a pipe, in pieces that end inside a
// tag, and over threads: the lines of a file read at once.
TEST(Files, XmlFromAPipeInPiecesOverThreads)
{
    if (!have_shell())
        GTEST_SKIP() << "needs a POSIX shell";
    const std::string events = data + "catalogue.xml", stations = data + "inventory.xml";
    const Outcome whole = run(filter, {"-S", stations, events});
    for (const char *threads : {"1", "3"}) {
        Outcome r = run_shell("(head -c 1234 '" + events + "'; sleep 0.2; tail -c +1235 '" + events + "') | " +
                              shell_command(filter) + " -j " + threads + " -S '" + stations + "'");
        EXPECT_EQ(r.out, whole.out) << threads;
        EXPECT_EQ(r.status, 1) << threads;
    }
    EXPECT_EQ(std::count(whole.out.begin(), whole.out.end(), '\n'), 9);
}

// The first input is looked at for XML; a pipe given by name cannot be
// read twice, and keeps every byte.
TEST(Files, APipeGivenByNameIsReadOnce)
{
    if (!have_shell())
        GTEST_SKIP() << "needs a POSIX shell";
    const TempFile stations("0 0\n");
    Outcome r = run_shell("d=$(mktemp -d) && mkfifo \"$d/events\" && (printf '0.5 0.5\\n' > \"$d/events\" &) && " +
                          shell_command(filter) + " -S '" + stations.path + "' -r 0,1 \"$d/events\"; rm -r \"$d\"");
    EXPECT_EQ(r.out, "0.5 0.5 0 0 0.70 225.19 45.19\n");
    EXPECT_EQ(r.status, 0);
}

// A header read for its names is read once, from whatever gives it: a
// pipe given by name, standard input as the station file, FDSN text
// through a pipe (whose '|' and columns are its header's).
TEST(Files, AHeaderReadForItsNamesIsReadOnce)
{
    if (!have_shell())
        GTEST_SKIP() << "needs a POSIX shell";
    const TempFile events("x y\n0 0\n"), stations("name la lo\nA 1 2\nB 3 4\n");
    const std::string fifo = "d=$(mktemp -d) && mkfifo \"$d/f\" && (cat '%s' > \"$d/f\" &) && ";
    auto from_fifo = [&](const std::string &file, const std::string &args) {
        std::string setup = fifo;
        setup.replace(setup.find("%s"), 2, file);
        return setup + shell_command(filter) + " " + args + "; s=$?; rm -r \"$d\"; exit $s";
    };
    const TempFile pairs("lat lon\n1 2\n3 4\n"), fdsn("#Network|Station|Latitude|Longitude\nXX|A|1|2\n");
    const struct {
        const char *name;
        std::string script, out;
        int status;
    } cases[] = {
        {"named pipe, -f by name", from_fifo(pairs.path, "-H -f lat,lon -a -e 0,0 \"$d/f\""),
         "lat lon dist az baz\n1 2 2.23 63.58 243.60\n3 4 4.99 53.27 233.37\n", 0},
        {"station file from standard input, -F by name",
         "cat '" + stations.path + "' | " + shell_command(filter) + " -H -S - -F la,lo -f x,y '" + events.path + "'",
         "x y name la lo dist az baz\n0 0 A 1 2 2.23 63.58 243.60\n0 0 B 3 4 4.99 53.27 233.37\n", 0},
        {"FDSN station text through a named pipe", from_fifo(fdsn.path, "-e 0,0 -a \"$d/f\""),
         "#Network|Station|Latitude|Longitude\nXX|A|1|2|2.23|63.58|243.60\n", 0},
    };
    for (const auto &c : cases) {
        Outcome r = run_shell(c.script);
        EXPECT_EQ(r.out, c.out) << c.name << "\n" << r.err;
        EXPECT_EQ(r.status, c.status) << c.name;
    }
}

// XML of the wrong kind, or of none, is refused before anything is
// written; XML that breaks off is said where it does.
TEST(Files, XmlOfAnotherKindIsRefused)
{
    const TempFile html("<?xml version='1.0'?>\n<html/>\n"), stations("0 0\n");
    const TempFile no_event("<?xml version='1.0'?>\n<quakeml xmlns='http://quakeml.org/xmlns/quakeml/1.2'>"
                            "<eventParameters/></quakeml>\n");
    const std::string inventory = data + "inventory.xml", catalogue = data + "catalogue.xml";
    const std::string broken = contents("catalogue.xml").substr(0, 2000);
    const TempFile cut(broken);
    const struct {
        std::vector<std::string> args;
        std::string out, err;
        int status;
    } cases[] = {
        {{"-S", catalogue}, "", catalogue + ": QuakeML, where stations are read (earthquakes are the lines "
                                           "of the input)\n", 2},
        {{"-S", html.path}, "", html.path + ": XML whose root element is <html>: neither StationXML nor "
                                            "QuakeML\n", 2},
        {{"-S", stations.path, inventory}, "", inventory + ": StationXML, where earthquakes are read "
                                                           "(stations are given with -S)\n", 2},
        {{"-S", stations.path, html.path}, "", html.path + ": XML whose root element is <html>: neither "
                                                           "StationXML nor QuakeML\n", 2},
        {{"-S", stations.path, "-r", "0,1", cut.path}, "",
         cut.path + ":37: bad XML: no element found (column 3)\n", 1},
        {{"--text", html.path}, "", html.path + ": XML whose root element is <html>: neither StationXML "
                                                "nor QuakeML\n", 2},
        // Well-formed, of a known kind, and nothing in it: said, not passed over.
        {{"-S", stations.path, no_event.path}, "", no_event.path + ":2: the QuakeML holds no event\n", 1},
    };
    for (const auto &c : cases) {
        Outcome r = run(filter, c.args);
        EXPECT_EQ(r.out, c.out) << c.args[1];
        EXPECT_EQ(r.err, c.err.empty() ? "" : "ostrem: " + c.err) << c.args[1];
        EXPECT_EQ(r.status, c.status) << c.args[1];
    }
}

}  // namespace
