// Writes the stage files of the sample workspace through the editor's own XML writer:
//   samplegen SAMPLE_FOLDER        (writes SAMPLE_FOLDER/resources/rooms/*.xml)
//
// Every room is drawn below as a text map of its floor, one character per cell, so that a
// layout reads like a level sketch. Layouts are shared between stages; each stage brings its
// own enemies. Before anything is written every room is checked: the map fits the shape's
// floor, every entity is in the sample catalogue, and no open door is blocked by an obstacle
// (the check the binary export makes). A few rooms then get a flaw on purpose, for the
// editor's Problems dock and quorle-cli check to find.

#include "main.h"
#include "EntityConfig.h"
#include "db.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

QString g_prefix = QStringLiteral("./");
QSettings* g_settings = nullptr;

namespace {

struct Triple {
    int type;
    int variant;
    int subtype;
};

struct Choice {
    Triple entity;
    float weight;
};

// The enemies of one stage, placed by the map digits 1 to 6; 'E' picks among the first three.
using Roster = std::array<Triple, 6>;

// A floor map: one string per row, one character per cell; blank where the shape has no floor.
struct Layout {
    int shape;
    std::vector<const char*> rows;
};

// A fault that a room of the sample keeps on purpose.
enum class Flaw {
    None,
    BlockedDoor,   // the first open door has the stage's first enemy on the cell inside it
    DoorOffSlot,   // a closed door on the top wall where the shape has no slot
    UnknownEntity, // the middle cell holds an entity that the catalogue does not list
};

struct RoomPlan {
    const Layout& layout;
    quint32 type;
    quint32 variant;
    const char* name; // UTF-8
    int difficulty;
    float weight;
    const char* closedSides;    // any of "LRTB": the door slots on these walls start closed
    Triple special = {0, 0, 0}; // the boss ('M') or warden ('W') of the room
    Flaw flaw = Flaw::None;
};

struct StagePlan {
    const char* file;
    Roster roster;
    std::vector<RoomPlan> rooms;
};

// Map characters that mean the same in every stage.
std::vector<Choice> fixedSpawn(char symbol) {
    switch (symbol) {
    case 'R':
        return {{{1001, 0, 0}, 1}};
    case 'B':
        return {{{1002, 0, 0}, 1}};
    case 'U':
        return {{{1003, 0, 0}, 1}};
    case '*':
        return {{{1004, 0, 0}, 1}};
    case 'O':
        return {{{1005, 0, 0}, 1}};
    case 'F':
        return {{{1006, 0, 0}, 1}};
    case 'f':
        return {{{1006, 1, 0}, 1}};
    case '^':
        return {{{1007, 0, 0}, 1}};
    case '%':
        return {{{1008, 0, 0}, 1}};
    case 'H':
        return {{{1009, 0, 0}, 1}};
    case 'C':
        return {{{1010, 0, 0}, 1}};
    case 'T':
        return {{{1011, 0, 0}, 1}};
    case 'L':
        return {{{1400, 0, 0}, 1}};
    case 'r':
        return {{{1490, 0, 0}, 1}};
    case 'w':
        return {{{1500, 0, 0}, 1}};
    case 'l':
        return {{{1930, 0, 0}, 1}};
    case 'D':
        return {{{9000, 0, 0}, 1}};
    case 'h':
        return {{{5, 10, 0}, 1}};
    case 'g':
        return {{{5, 20, 0}, 1}};
    case 'k':
        return {{{5, 30, 0}, 1}};
    case 'b':
        return {{{5, 40, 0}, 1}};
    case 'c':
        return {{{5, 50, 0}, 1}};
    case 'q':
        return {{{5, 52, 0}, 1}};
    case 'a':
        return {{{5, 100, 0}, 1}};
    case 'n':
        return {{{5, 300, 0}, 1}};
    case 'm':
        return {{{5, 350, 0}, 1}};
    case 'P':
        return {{{6, 5, 0}, 1}};
    case 'Y':
        return {{{6, 1, 0}, 1}};
    case 'Z':
        return {{{6, 2, 0}, 1}};
    // Some pickup: mostly glim.
    case '$':
        return {{{5, 20, 0}, 3}, {{5, 10, 0}, 1}, {{5, 30, 0}, 1}, {{5, 40, 0}, 1}};
    // Some rubble: a stone, now and then an urn, rarely a marked stone with a cache.
    case '&':
        return {{{1001, 0, 0}, 3}, {{1003, 0, 0}, 1}, {{1001, 1, 0}, 0.25f}};
    default:
        return {};
    }
}

// Layouts of one 13 by 7 screen (shapes 1 to 3).

const Layout Corners{1,
                     {"R...........R", ".R....1....R.", ".............", ".....2.2.....",
                      ".............", ".R....1....R.", "R...........R"}};
const Layout SinkingFloor{1,
                          {".............", "..1.......1..", "....OOOOO....", "....OOhOO....",
                           "....OOOOO....", "..3.......3..", "............."}};
const Layout BrambleRows{1,
                         {".............", ".***.....***.", ".............", "...2..E..2...",
                          ".............", ".***.....***.", "............."}};
const Layout UrnCellar{1,
                       {"UU.........UU", "U&.........&U", ".....3.3.....", ".............",
                        "......g......", "U...........U", "UU.........UU"}};
const Layout IronPillars{1,
                         {".............", "..B..1.1..B..", ".............", "......$......",
                          ".............", "..B..1.1..B..", "............."}};
const Layout SplitStones{1,
                         {".....R.R.....", "..1..R.R..1..", ".....R.R.....", ".............",
                          ".....R.R.....", "..2..R.R..2..", ".....R.R....."}};
const Layout Swarm{1,
                   {".............", ".............", "...6.....6...", "......E......",
                    "...6.....6...", ".............", "............."}};
const Layout Chapel{1,
                    {"F...........F", ".............", "...r.....r...", "......n......",
                     "...r.....r...", ".............", "F...........F"}};
const Layout Reliquary{1,
                       {".............", ".............", "....R...R....", "......a......",
                        "....R...R....", ".............", "............."}};
const Layout Stall{1,
                   {".............", ".............", "......P......", ".............",
                    "...b..a..k...", ".............", "............."}};
const Layout Vault{1,
                   {"g.g.g...g.g.g", ".............", "..c.......c..", ".....q.q.....",
                    "..c.......c..", ".............", "g.g.g...g.g.g"}};
const Layout DiceDen{1,
                     {".............", "..U.......U..", ".............", ".....Z.Y.....",
                      ".............", "..U.......U..", "............."}};
const Layout PilgrimsRest{1,
                          {"L...........L", ".............", ".............", "....h.Y.h....",
                           ".............", ".............", "L...........L"}};
const Layout WardenArena{1,
                         {".............", "..T.......T..", ".............", "......W......",
                          ".............", "..T.......T..", "............."}};
const Layout SecretHollow{1,
                          {"H...........H", ".............", "..g...c...g..", ".............",
                           "..m.......h..", ".............", "H...........H"}};
const Layout Landing{1,
                     {"ww.........ww", "wl....D....lw", "w...........w", ".............",
                      "w...........w", "wl....a....lw", "ww.........ww"}};
const Layout LanternHall{1,
                         {"L.L.L...L.L.L", ".............", "..2.......2..", ".............",
                          "..2.......2..", ".............", "L.L.L...L.L.L"}};
const Layout BossArena{1,
                       {".............", ".F.........F.", ".............", "......M......",
                        ".............", ".F.........F.", "............."}};
const Layout NarrowPass{2,
                        {"             ", "             ", "...R..1..R...", ".....E.......",
                         "...R..1..R...", "             ", "             "}};
const Layout SpikedCauseway{2,
                            {"             ", "             ", "..^^^...^^^..", "......g......",
                             "..^^^...^^^..", "             ", "             "}};
const Layout WellShaft{3,
                       {"    .....    ", "    R.1.R    ", "    .....    ", "    ..E..    ",
                        "    .....    ", "    R.1.R    ", "    .....    "}};
const Layout BrambleShaft{3,
                          {"    .....    ", "    *...*    ", "    ..2..    ", "    .....    ",
                           "    ..h..    ", "    *...*    ", "    .....    "}};

// Layouts of two screens (shapes 4 to 7).

const Layout LongGallery{4,
                         {".............", "..R.......R..", ".............", ".....1.1.....",
                          ".............", "..R.......R..", ".............", "......$......",
                          "..R.......R..", ".....2.2.....", ".............", "..R.......R..",
                          ".............", "............."}};
const Layout PitLadder{4,
                       {".............", "...1.....1...", ".............", ".............",
                        ".............", "OOOOO...OOOOO", ".............", "......h......",
                        ".............", "OOOOO...OOOOO", ".............", ".............",
                        "...2.....2...", "............."}};
const Layout HeronsNeck{5,
                        {"    .....    ", "    .1.1.    ", "    .....    ", "    R...R    ",
                         "    .....    ", "    ..^..    ", "    .....    ", "    .....    ",
                         "    ..^..    ", "    .....    ", "    R...R    ", "    .....    ",
                         "    .2.2.    ", "    .....    "}};
const Layout TwinHall{6,
                      {"..........................", ".R..1..R...R..R...R..1..R.",
                       "..........................", "......E...........E.......",
                       "..........................", ".R..2..R...R..R...R..2..R.",
                       ".........................."}};
const Layout TwinSinkholes{6,
                           {"..........................", "...OOO..1........1..OOO...",
                            "...OOO..............OOO...", "..........3....3..........",
                            "...OOO..............OOO...", "...OOO..1........1..OOO...",
                            ".........................."}};
const Layout BossHall{6,
                      {"..........................", "..R....................R..",
                       "..........................", "............M.............",
                       "..........................", "..R....................R..",
                       ".........................."}};
const Layout Boardwalk{7,
                       {"                          ", "                          ",
                        "....R....1.......1....R...", "..........E...............",
                        "....R....1.......1....R...", "                          ",
                        "                          "}};

// Layouts of four screens (shapes 8 to 12).

const Layout GreatHall{
    8,
    {"..........................", "..........................", "..F....................F..",
     "..........................", "..........................", "..........................",
     "............M.............", "..........................", "..........................",
     "..........................", "..........................", "..F....................F..",
     "..........................", ".........................."}};
const Layout Maze{
    8,
    {"..........................", "..RRRR..............RRRR..", "..R..................1.R..",
     "..R...2..........2.....R..", ".............E............", "..........BBBBBB..........",
     "..........B....B..........", "..........B.$..B..........", "..........BB..BB..........",
     "..........................", "..R...2..........2.....R..", "..R..1.................R..",
     "..RRRR..............RRRR..", ".........................."}};
const Layout CrookedHollow{
    9,
    {"             .............", "             ..R......R...", "             ......1......",
     "             .....E.......", "             ......1......", "             ..R......R...",
     "             .............", "..........................", "..R.....R.........R.....R.",
     "....2................2....", "..........................", "....2................2....",
     "..R.....R.........R.....R.", ".........................."}};
const Layout ReedTurn{
    10,
    {".............             ", "..%.....%....             ", "......1......             ",
     ".....E.......             ", "......1......             ", "..%.....%....             ",
     ".............             ", "..........................", ".%....%.....2.....%....%..",
     "..........................", ".........E................", "..........................",
     ".%....%.....2.....%....%..", ".........................."}};
const Layout HeapFall{
    11,
    {"..........................", "..H..........1.........H..", "..........................",
     "......3...........3.......", "..........................", "..H....................H..",
     "..........................", "             .............", "             ..H.......H..",
     "             ......1......", "             .....E.......", "             ......1......",
     "             ..H.......H..", "             ............."}};
const Layout BlockCorner{
    12,
    {"..........................", "..B.........B..........B..", "..........................",
     "....1.....E.........1.....", "..........................", "..B.........B..........B..",
     "..........................", ".............             ", "..&.....&....             ",
     "......2......             ", ".....$.......             ", "......2......             ",
     "..&.....&....             ", ".............             "}};

const Triple MotherOfMire{400, 0, 0};
const Triple DrownedChoir{401, 0, 0};
const Triple SludgeMonarch{402, 0, 0};
const Triple AshenHeron{403, 0, 0};
const Triple OldLantern{404, 0, 0};
const Triple TwinEels{405, 0, 0};
const Triple BoneMagistrate{406, 0, 0};
const Triple PeatColossus{407, 0, 0};
const Triple GnatQueen{408, 0, 0};
const Triple HollowBell{409, 0, 0};
const Triple WardenOfReeds{300, 0, 0};
const Triple WardenOfAsh{300, 1, 0};
const Triple TollKeeper{301, 0, 0};

// Room types (rooms.txt): 1 ordinary, 2 stall, 3 reliquary, 4 vault, 5 warden, 6 boss,
// 7 secret, 9 dice den, 12 chapel, 16 landing, 18 lantern hall, 19 pilgrim's rest.
// Boss rooms carry a number after the boss's name, which the binary export strips.
// Mossgrave repeats three (type, variant) pairs on purpose: the editor renumbers them on load.
std::vector<StagePlan> stagePlans() {
    return {
        {"mossgrave.xml",
         {{{10, 0, 0}, {13, 0, 0}, {16, 0, 0}, {11, 0, 0}, {17, 0, 0}, {13, 2, 0}}},
         {{Corners, 1, 0, "Mossy Corners", 1, 1, ""},
          {SinkingFloor, 1, 1, "The Sinking Floor", 5, 1, "B"},
          {BrambleRows, 1, 2, "Bramble Rows", 1, 1, ""},
          {UrnCellar, 1, 3, "Urn Cellar", 1, 1, "T"},
          {IronPillars, 1, 3, "Iron Pillars", 5, 1, ""},
          {SplitStones, 1, 4, "Split Stones", 5, 1, "LR"},
          {NarrowPass, 1, 5, "Narrow Pass", 1, 1, ""},
          {WellShaft, 1, 6, "Well Shaft", 5, 0.5f, ""},
          {LongGallery, 1, 7, "Long Gallery", 5, 1, "R"},
          {TwinHall, 1, 7, "Twin Hall", 10, 1, "T"},
          {Maze, 1, 8, "Sludge Maze", 10, 0.5f, "TB"},
          {CrookedHollow, 1, 9, "Crooked Hollow", 5, 1, ""},
          {Stall, 2, 0, "Mossy Stall", 1, 1, "LRB"},
          {Reliquary, 3, 0, "Reliquary of Moss", 1, 1, "LRB"},
          {BossArena, 6, 0, "Mother of Mire 1", 10, 1, "LRB", MotherOfMire},
          {GreatHall, 6, 1, "Sludge Monarch 1", 10, 1, "LRB", SludgeMonarch},
          {BossArena, 6, 1, "Gnat Queen 2", 10, 1, "LRT", GnatQueen},
          {Landing, 16, 0, "Ferryman's Landing", 1, 1, "LR"},
          {PilgrimsRest, 19, 0, "M\u00fcllerin's Rest", 1, 1, "LRB"}}},
        {"reedmarsh.xml",
         {{{12, 0, 0}, {14, 0, 0}, {18, 0, 0}, {19, 0, 0}, {23, 0, 0}, {10, 3, 0}}},
         {{Swarm, 1, 0, "Reed Clearing", 5, 1, ""},
          {BrambleRows, 1, 1, "Thorn Rows", 1, 1, "B"},
          {PitLadder, 1, 2, "Pit Ladder", 5, 1, ""},
          {BrambleShaft, 1, 3, "Bramble Shaft", 1, 1, ""},
          {SpikedCauseway, 1, 4, "Spiked Causeway", 5, 1, ""},
          {TwinSinkholes, 1, 5, "Twin Sinkholes", 5, 1, "TB"},
          {Boardwalk, 1, 6, "Boardwalk", 1, 2, ""},
          {HeronsNeck, 1, 7, "Heron's Neck", 5, 1, ""},
          {ReedTurn, 1, 8, "Foss\u00e9 des Roseaux", 10, 1, "L"},
          {Corners, 1, 9, "Four Stones", 1, 1, ""},
          {Vault, 4, 0, "Glimmer Vault", 1, 1, "LRB"},
          {WardenArena, 5, 0, "Warden of Reeds", 10, 1, "LR", WardenOfReeds},
          {BossHall, 6, 0, "Ashen Heron 1", 10, 1, "LRB", AshenHeron},
          {BossArena, 6, 1, "Twin Eels 1", 10, 1, "LRT", TwinEels},
          {DiceDen, 9, 0, "Bone Dice Den", 1, 1, "TB"},
          {SecretHollow, 7, 0, "Secret Hollow", 1, 1, ""},
          {Landing, 16, 0, "Reedwife's Landing", 1, 1, "TB"}}},
        {"sunken_abbey.xml",
         {{{28, 0, 0}, {15, 0, 0}, {26, 0, 0}, {31, 0, 0}, {32, 0, 0}, {33, 0, 0}}},
         {{Chapel, 12, 0, "Chapel of Ash", 1, 1, "LR"},
          {IronPillars, 1, 0, "Nave Pillars", 1, 1, ""},
          {SplitStones, 1, 1, "Broken Pews", 5, 1, ""},
          {LanternHall, 18, 0, "Lantern Hall", 5, 1, "TB"},
          {LongGallery, 1, 2, "Cloister Walk", 5, 1, ""},
          {Maze, 1, 3, "Crypt of Sainte-\u00c9lodie", 10, 1, "LR"},
          {HeapFall, 1, 4, "Collapsed Transept", 5, 1, ""},
          {NarrowPass, 1, 5, "Choir Passage", 1, 1, ""},
          {WellShaft, 1, 6, "Bell Shaft", 5, 1, "B"},
          {UrnCellar, 1, 7, "Ossuary", 1, 1, ""},
          {TwinHall, 1, 8, "Refectory", 5, 1, "B"},
          {Stall, 2, 0, "Abbey Stall", 1, 1, "LRT"},
          {Reliquary, 3, 0, "Reliquary of Saints", 1, 1, "RTB"},
          {GreatHall, 6, 0, "The Drowned Choir 1", 10, 1, "LRT", DrownedChoir},
          {BossArena, 6, 1, "Bone Magistrate 1", 10, 1, "LRB", BoneMagistrate},
          {WardenArena, 5, 0, "Warden of Ash", 10, 1, "TB", WardenOfAsh},
          {PilgrimsRest, 19, 0, "Na\u00efve Pilgrim's Rest", 1, 1, "LRT"}}},
        {"drowned_cloister.xml",
         {{{27, 0, 0}, {29, 0, 0}, {33, 0, 0}, {16, 1, 0}, {19, 1, 0}, {28, 1, 0}}},
         {{SinkingFloor, 1, 0, "Flooded Pit", 5, 1, ""},
          {Swarm, 1, 1, "Eel Pool", 1, 1, "T"},
          {PitLadder, 1, 2, "Drowned Stair", 5, 1, "R"},
          {TwinSinkholes, 1, 3, "Twin Cisterns", 10, 1, ""},
          {Boardwalk, 1, 4, "Sluice", 5, 1, ""},
          {HeronsNeck, 1, 5, "Drain", 5, 1, ""},
          {BlockCorner, 1, 6, "Sunken Corner", 10, 1, "T"},
          {CrookedHollow, 1, 7, "Crooked Cloister", 10, 1, "B"},
          {BrambleRows, 1, 8, "Weed Rows", 1, 1, ""},
          {Vault, 4, 0, "Tithe Vault", 1, 1, "LRT"},
          {DiceDen, 9, 0, "Dice Cellar", 1, 1, "LR"},
          {BossHall, 6, 0, "The Hollow Bell 1", 10, 1, "LRT", HollowBell},
          {GreatHall, 6, 1, "Twin Eels 2", 10, 1, "LRB", TwinEels},
          {Landing, 16, 0, "Drowned Landing", 1, 1, "LR"},
          {Landing, 16, 1, "Ferry Steps", 1, 0.5f, "TB"},
          {SecretHollow, 7, 0, "Secret Cistern", 1, 1, ""}}},
        // Lantern Depths keeps the sample's other flaws.
        {"lantern_depths.xml",
         {{{14, 1, 0}, {15, 1, 0}, {32, 0, 0}, {26, 0, 0}, {30, 0, 0}, {28, 0, 0}}},
         {{LanternHall, 18, 0, "Hall of Nine Wicks", 5, 1, "TB"},
          {Corners, 1, 0, "Wick Corners", 1, 1, ""},
          {UrnCellar, 1, 1, "Tallow Cellar", 5, 1, "", {}, Flaw::UnknownEntity},
          {NarrowPass, 1, 2, "Smoke Passage", 1, 1, ""},
          {Swarm, 1, 3, "Moth Swarm", 5, 1, "", {}, Flaw::BlockedDoor},
          {TwinHall, 1, 4, "Twin Lamps", 5, 1, "T"},
          {SplitStones, 1, 5, "Cracked Sconces", 5, 1, "", {}, Flaw::DoorOffSlot},
          {WellShaft, 1, 6, "Lamp Shaft", 5, 0.5f, ""},
          {Chapel, 12, 0, "Chapel of Candles", 1, 1, "LR"},
          {Stall, 2, 0, "Chandler's Stall", 1, 1, "LRB"},
          {BossArena, 6, 0, "Old Lantern 2", 10, 1, "LRB", OldLantern},
          {Landing, 16, 0, "Lamplighter's Landing", 1, 1, "TB"}}},
        {"ashen_undermire.xml",
         {{{11, 1, 0}, {18, 0, 0}, {25, 0, 0}, {30, 0, 0}, {21, 0, 0}, {24, 0, 0}}},
         {{Corners, 1, 0, "Ash Corners", 1, 1, ""},
          {UrnCellar, 1, 1, "Cinder Cellar", 5, 1, ""},
          {IronPillars, 1, 2, "Iron Forest", 5, 1, "B"},
          {SplitStones, 1, 3, "J\u00f6tun Stones", 5, 1, ""},
          {Maze, 1, 4, "Ember Maze", 10, 1, ""},
          {ReedTurn, 1, 5, "Scorched Turn", 5, 1, ""},
          {HeapFall, 1, 6, "Ash Fall", 10, 1, "R"},
          {BlockCorner, 1, 7, "Collapsed Kiln", 10, 1, ""},
          {SpikedCauseway, 1, 8, "Spike Run", 5, 1, ""},
          {BrambleShaft, 1, 9, "Chimney", 1, 1, ""},
          {HeronsNeck, 1, 10, "Flue", 5, 1, ""},
          {Boardwalk, 1, 11, "Slag Bridge", 5, 1, ""},
          {Chapel, 12, 0, "Ash Chapel", 1, 1, "TB"},
          {GreatHall, 6, 0, "Peat Colossus 1", 10, 1, "LRT", PeatColossus},
          {BossArena, 6, 1, "Old Lantern 1", 10, 1, "RTB", OldLantern},
          {WardenArena, 5, 0, "The Toll Keeper", 10, 1, "LR", TollKeeper},
          {Stall, 2, 0, "Ember Stall", 1, 1, "LRB"},
          {Landing, 16, 0, "Cinder Landing", 1, 1, "LRB"}}},
    };
}

// Spawn entries of one map character in a stage, or an empty list for a bare floor cell.
std::vector<Choice> spawnFor(char symbol, const Roster& roster, const Triple& special) {
    if (symbol >= '1' && symbol <= '6')
        return {{roster[size_t(symbol - '1')], 1}};
    if (symbol == 'E')
        return {{roster[0], 2}, {roster[1], 1}, {roster[2], 1}};
    if (symbol == 'M' || symbol == 'W')
        return {{special, 1}};
    return fixedSpawn(symbol);
}

// The wall a door slot lies on, as one of "LRTB"; the notch slots of L shapes count for the
// wall they replace.
char doorSide(const Room& room, const Room::Door& door) {
    if (door.x == 6 || door.x == 19)
        return door.y < room.height / 2 ? 'T' : 'B';
    return door.x < room.width / 2 ? 'L' : 'R';
}

QStringList collectedDebug;

void collectDebug(QtMsgType, const QMessageLogContext&, const QString& message) {
    collectedDebug << message;
}

class SampleBuilder {
public:
    explicit SampleBuilder(QTextStream& err)
        : err(err) {}

    bool buildRoom(const RoomPlan& plan, const Roster& roster, Room& room) {
        const QString label = QString::fromUtf8(plan.name);
        room.shape = quint8(plan.layout.shape);
        const QSize size = roomShapeGridSize(room.shape);
        room.resize(size.width(), size.height());
        // The slots come out of a hash; a fixed order keeps the sample files stable.
        std::sort(room.doors.begin(), room.doors.end(),
                  [](const Room::Door& a, const Room::Door& b) {
                      return std::make_pair(a.y, a.x) < std::make_pair(b.y, b.x);
                  });
        for (Room::Door& door : room.doors)
            door.exists = !QByteArray(plan.closedSides).contains(doorSide(room, door));
        room.type = plan.type;
        room.variant = plan.variant;
        room.name = label;
        room.difficulty = quint8(plan.difficulty);
        room.weight = plan.weight;

        if (!mapFits(plan.layout, size, label))
            return false;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const char symbol = plan.layout.rows[size_t(y)][x];
                const bool floor =
                    roomCellType(room.shape, size.width(), size.height(), x, y) == CellFloor;
                if (floor == (symbol == ' ')) {
                    err << label << ": the map does not match the shape's floor at " << x << ','
                        << y << '\n';
                    return false;
                }
                if (!addSpawn(room, x, y, spawnFor(symbol, roster, plan.special), label))
                    return false;
            }
        }
        if (!doorsAreClear(room))
            return false;
        addFlaw(plan.flaw, roster, room);
        return true;
    }

    bool loadCatalogue(const QString& sampleFolder) {
        g_prefix = sampleFolder + QStringLiteral("/editor/");
        const QString warnings =
            catalogue.Load(sampleFolder + QStringLiteral("/resources/entities2.xml"),
                           g_prefix + QStringLiteral("blacklist.txt"),
                           g_prefix + QStringLiteral("entities_custom.txt"));
        if (!warnings.isEmpty())
            err << warnings;
        return warnings.isEmpty();
    }

    int iconless = 0;

private:
    bool mapFits(const Layout& layout, const QSize& size, const QString& label) {
        bool fits = int(layout.rows.size()) == size.height();
        for (const char* row : layout.rows)
            fits = fits && int(qstrlen(row)) == size.width();
        if (!fits)
            err << label << ": the map is not " << size.width() << " by " << size.height() << '\n';
        return fits;
    }

    bool addSpawn(Room& room, int x, int y, const std::vector<Choice>& choices,
                  const QString& label) {
        if (choices.empty())
            return true;
        Room::Spawn& spawn = room.getSpawn(x, y);
        for (const Choice& choice : choices) {
            const Triple& e = choice.entity;
            const EntityConfig::Entity* known = catalogue.GetEntity(e.type, e.variant, e.subtype);
            if (!known || known->type != e.type || known->variant != e.variant ||
                known->subtype != e.subtype) {
                err << label << ": entity " << e.type << '.' << e.variant << '.' << e.subtype
                    << " is not in the catalogue\n";
                return false;
            }
            iconless += catalogue.icon(e.type, e.variant, e.subtype).isNull() ? 1 : 0;
            Room::Entry entry;
            entry.type = quint16(e.type);
            entry.variant = quint16(e.variant);
            entry.subtype = quint16(e.subtype);
            entry.weight = choice.weight;
            spawn.entries << entry;
        }
        return true;
    }

    static void addFlaw(Flaw flaw, const Roster& roster, Room& room) {
        const auto entry = [](const Triple& entity) {
            return Room::Entry{quint16(entity.type), quint16(entity.variant),
                               quint16(entity.subtype), 1};
        };
        if (flaw == Flaw::BlockedDoor) {
            const Room::Door& door =
                *std::find_if(room.doors.begin(), room.doors.end(),
                              [](const Room::Door& door) { return door.exists; });
            room.getSpawn(qBound(0, int(door.x), room.width - 1),
                          qBound(0, int(door.y), room.height - 1))
                .entries = {entry(roster[0])};
        } else if (flaw == Flaw::DoorOffSlot) {
            room.doors.append(Room::Door(3, -1, false));
        } else if (flaw == Flaw::UnknownEntity) {
            room.getSpawn(room.width / 2, room.height / 2).entries = {entry({66, 0, 0})};
        }
    }

    // The binary export's repair step names every open door that an obstacle blocks.
    bool doorsAreClear(const Room& room) {
        Room copy = room;
        collectedDebug.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectDebug);
        DB::fix_room(copy);
        qInstallMessageHandler(previous);
        bool clear = true;
        for (const QString& line : qAsConst(collectedDebug)) {
            if (line.contains(QStringLiteral("removing invalid door"))) {
                err << line << '\n';
                clear = false;
            }
        }
        return clear;
    }

    QTextStream& err;
    EntityConfig catalogue;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        err << "usage: samplegen SAMPLE_FOLDER\n";
        return 2;
    }
    const QString sample = args[1];
    SampleBuilder builder(err);
    const QtMessageHandler previous = qInstallMessageHandler(collectDebug);
    const bool catalogueLoaded = builder.loadCatalogue(sample);
    qInstallMessageHandler(previous);
    if (!catalogueLoaded)
        return 1;

    const QString roomsFolder = sample + QStringLiteral("/resources/rooms/");
    QDir().mkpath(roomsFolder);
    int roomCount = 0;
    for (const StagePlan& stage : stagePlans()) {
        pugi::xml_document doc;
        pugi::xml_node rooms = doc.append_child("rooms");
        for (const RoomPlan& plan : stage.rooms) {
            Room room;
            if (!builder.buildRoom(plan, stage.roster, room))
                return 1;
            DB::append_xml_room(rooms, room);
            ++roomCount;
        }
        const QString path = roomsFolder + QString::fromLatin1(stage.file);
        if (!DB::saveDocument(doc, path)) {
            err << "cannot write " << path << '\n';
            return 1;
        }
    }
    err << "samplegen: " << roomCount << " rooms written to " << roomsFolder << "; "
        << builder.iconless << " spawn entries name entities without an icon\n";
    return 0;
}
