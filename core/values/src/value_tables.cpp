#include "kvvalues/value_tables.h"

#include <algorithm>

namespace kvvalues {

namespace {

constexpr std::array<double, kEqGainSteps> MakeEqGainTable() {
    std::array<double, kEqGainSteps> t{};
    for (int i = 0; i < kEqGainSteps; ++i) t[i] = i * 0.5 - 15.0;
    return t;
}

}  // namespace

// Labels: below 100 Hz " 98.1 Hz", below 1 kHz "101.0 Hz", below 10 kHz
// "1.00k Hz", above "10.1k Hz". Row 128 is the one exception: it holds
// 1310 Hz but reads "1.32k Hz"; keep it so, users know the row by that text.
constexpr std::array<FreqRow, kFreqRows> FreqIndexTable = {{
    FreqRow{10.0, "Out"},         FreqRow{15.0, " 15.0 Hz"},    FreqRow{16.0, " 16.0 Hz"},
    FreqRow{17.0, " 17.0 Hz"},    FreqRow{18.0, " 18.0 Hz"},    FreqRow{18.5, " 18.5 Hz"},
    FreqRow{19.2, " 19.2 Hz"},    FreqRow{19.9, " 19.9 Hz"},    FreqRow{20.6, " 20.6 Hz"},
    FreqRow{21.3, " 21.3 Hz"},    FreqRow{22.0, " 22.0 Hz"},    FreqRow{22.8, " 22.8 Hz"},
    FreqRow{23.6, " 23.6 Hz"},    FreqRow{24.5, " 24.5 Hz"},    FreqRow{25.3, " 25.3 Hz"},
    FreqRow{26.2, " 26.2 Hz"},    FreqRow{27.2, " 27.2 Hz"},    FreqRow{28.1, " 28.1 Hz"},
    FreqRow{29.1, " 29.1 Hz"},    FreqRow{30.1, " 30.1 Hz"},    FreqRow{31.2, " 31.2 Hz"},
    FreqRow{32.3, " 32.3 Hz"},    FreqRow{33.4, " 33.4 Hz"},    FreqRow{34.6, " 34.6 Hz"},
    FreqRow{35.8, " 35.8 Hz"},    FreqRow{37.1, " 37.1 Hz"},    FreqRow{38.4, " 38.4 Hz"},
    FreqRow{39.8, " 39.8 Hz"},    FreqRow{41.2, " 41.2 Hz"},    FreqRow{42.6, " 42.6 Hz"},
    FreqRow{44.1, " 44.1 Hz"},    FreqRow{45.7, " 45.7 Hz"},    FreqRow{47.3, " 47.3 Hz"},
    FreqRow{49.0, " 49.0 Hz"},    FreqRow{50.7, " 50.7 Hz"},    FreqRow{52.5, " 52.5 Hz"},
    FreqRow{54.4, " 54.4 Hz"},    FreqRow{56.3, " 56.3 Hz"},    FreqRow{58.3, " 58.3 Hz"},
    FreqRow{60.3, " 60.3 Hz"},    FreqRow{62.5, " 62.5 Hz"},    FreqRow{64.1, " 64.1 Hz"},
    FreqRow{66.3, " 66.3 Hz"},    FreqRow{69.4, " 69.4 Hz"},    FreqRow{71.5, " 71.5 Hz"},
    FreqRow{74.5, " 74.5 Hz"},    FreqRow{76.5, " 76.5 Hz"},    FreqRow{79.4, " 79.4 Hz"},
    FreqRow{82.4, " 82.4 Hz"},    FreqRow{85.4, " 85.4 Hz"},    FreqRow{88.5, " 88.5 Hz"},
    FreqRow{91.0, " 91.0 Hz"},    FreqRow{94.3, " 94.3 Hz"},    FreqRow{98.1, " 98.1 Hz"},
    FreqRow{101.0, "101.0 Hz"},   FreqRow{105.0, "105.0 Hz"},   FreqRow{108.0, "108.0 Hz"},
    FreqRow{112.0, "112.0 Hz"},   FreqRow{116.0, "116.0 Hz"},   FreqRow{120.0, "120.0 Hz"},
    FreqRow{125.0, "125.0 Hz"},   FreqRow{129.0, "129.0 Hz"},   FreqRow{133.0, "133.0 Hz"},
    FreqRow{138.0, "138.0 Hz"},   FreqRow{143.0, "143.0 Hz"},   FreqRow{148.0, "148.0 Hz"},
    FreqRow{153.0, "153.0 Hz"},   FreqRow{159.0, "159.0 Hz"},   FreqRow{164.0, "164.0 Hz"},
    FreqRow{170.0, "170.0 Hz"},   FreqRow{176.0, "176.0 Hz"},   FreqRow{183.0, "183.0 Hz"},
    FreqRow{189.0, "189.0 Hz"},   FreqRow{196.0, "196.0 Hz"},   FreqRow{203.0, "203.0 Hz"},
    FreqRow{210.0, "210.0 Hz"},   FreqRow{217.0, "217.0 Hz"},   FreqRow{225.0, "225.0 Hz"},
    FreqRow{233.0, "233.0 Hz"},   FreqRow{241.0, "241.0 Hz"},   FreqRow{250.0, "250.0 Hz"},
    FreqRow{258.0, "258.0 Hz"},   FreqRow{267.0, "267.0 Hz"},   FreqRow{277.0, "277.0 Hz"},
    FreqRow{287.0, "287.0 Hz"},   FreqRow{297.0, "297.0 Hz"},   FreqRow{307.0, "307.0 Hz"},
    FreqRow{318.0, "318.0 Hz"},   FreqRow{329.0, "329.0 Hz"},   FreqRow{341.0, "341.0 Hz"},
    FreqRow{353.0, "353.0 Hz"},   FreqRow{366.0, "366.0 Hz"},   FreqRow{378.0, "378.0 Hz"},
    FreqRow{392.0, "392.0 Hz"},   FreqRow{406.0, "406.0 Hz"},   FreqRow{420.0, "420.0 Hz"},
    FreqRow{435.0, "435.0 Hz"},   FreqRow{450.0, "450.0 Hz"},   FreqRow{466.0, "466.0 Hz"},
    FreqRow{482.0, "482.0 Hz"},   FreqRow{500.0, "500.0 Hz"},   FreqRow{517.0, "517.0 Hz"},
    FreqRow{535.0, "535.0 Hz"},   FreqRow{554.0, "554.0 Hz"},   FreqRow{574.0, "574.0 Hz"},
    FreqRow{594.0, "594.0 Hz"},   FreqRow{615.0, "615.0 Hz"},   FreqRow{637.0, "637.0 Hz"},
    FreqRow{659.0, "659.0 Hz"},   FreqRow{683.0, "683.0 Hz"},   FreqRow{707.0, "707.0 Hz"},
    FreqRow{732.0, "732.0 Hz"},   FreqRow{757.0, "757.0 Hz"},   FreqRow{784.0, "784.0 Hz"},
    FreqRow{812.0, "812.0 Hz"},   FreqRow{840.0, "840.0 Hz"},   FreqRow{870.0, "870.0 Hz"},
    FreqRow{901.0, "901.0 Hz"},   FreqRow{933.0, "933.0 Hz"},   FreqRow{965.0, "965.0 Hz"},
    FreqRow{1000.0, "1.00k Hz"},  FreqRow{1030.0, "1.03k Hz"},  FreqRow{1070.0, "1.07k Hz"},
    FreqRow{1110.0, "1.11k Hz"},  FreqRow{1140.0, "1.14k Hz"},  FreqRow{1180.0, "1.18k Hz"},
    FreqRow{1230.0, "1.23k Hz"},  FreqRow{1270.0, "1.27k Hz"},  FreqRow{1310.0, "1.32k Hz"},
    FreqRow{1360.0, "1.36k Hz"},  FreqRow{1410.0, "1.41k Hz"},  FreqRow{1460.0, "1.46k Hz"},
    FreqRow{1510.0, "1.51k Hz"},  FreqRow{1560.0, "1.56k Hz"},  FreqRow{1620.0, "1.62k Hz"},
    FreqRow{1680.0, "1.68k Hz"},  FreqRow{1740.0, "1.74k Hz"},  FreqRow{1800.0, "1.80k Hz"},
    FreqRow{1860.0, "1.86k Hz"},  FreqRow{1930.0, "1.93k Hz"},  FreqRow{2000.0, "2.00k Hz"},
    FreqRow{2070.0, "2.07k Hz"},  FreqRow{2140.0, "2.14k Hz"},  FreqRow{2210.0, "2.21k Hz"},
    FreqRow{2290.0, "2.29k Hz"},  FreqRow{2370.0, "2.37k Hz"},  FreqRow{2460.0, "2.46k Hz"},
    FreqRow{2540.0, "2.54k Hz"},  FreqRow{2630.0, "2.63k Hz"},  FreqRow{2730.0, "2.73k Hz"},
    FreqRow{2820.0, "2.82k Hz"},  FreqRow{2920.0, "2.92k Hz"},  FreqRow{3030.0, "3.03k Hz"},
    FreqRow{3130.0, "3.13k Hz"},  FreqRow{3240.0, "3.24k Hz"},  FreqRow{3360.0, "3.36k Hz"},
    FreqRow{3480.0, "3.48k Hz"},  FreqRow{3600.0, "3.60k Hz"},  FreqRow{3730.0, "3.73k Hz"},
    FreqRow{3860.0, "3.86k Hz"},  FreqRow{4000.0, "4.00k Hz"},  FreqRow{4140.0, "4.14k Hz"},
    FreqRow{4280.0, "4.28k Hz"},  FreqRow{4430.0, "4.43k Hz"},  FreqRow{4590.0, "4.59k Hz"},
    FreqRow{4750.0, "4.75k Hz"},  FreqRow{4920.0, "4.92k Hz"},  FreqRow{5090.0, "5.09k Hz"},
    FreqRow{5270.0, "5.27k Hz"},  FreqRow{5460.0, "5.46k Hz"},  FreqRow{5650.0, "5.65k Hz"},
    FreqRow{5850.0, "5.85k Hz"},  FreqRow{6060.0, "6.06k Hz"},  FreqRow{6270.0, "6.27k Hz"},
    FreqRow{6490.0, "6.49k Hz"},  FreqRow{6720.0, "6.72k Hz"},  FreqRow{6960.0, "6.96k Hz"},
    FreqRow{7210.0, "7.21k Hz"},  FreqRow{7460.0, "7.46k Hz"},  FreqRow{7720.0, "7.72k Hz"},
    FreqRow{8000.0, "8.00k Hz"},  FreqRow{8280.0, "8.28k Hz"},  FreqRow{8570.0, "8.57k Hz"},
    FreqRow{8870.0, "8.87k Hz"},  FreqRow{9180.0, "9.18k Hz"},  FreqRow{9510.0, "9.51k Hz"},
    FreqRow{9840.0, "9.84k Hz"},  FreqRow{10100.0, "10.1k Hz"}, FreqRow{10500.0, "10.5k Hz"},
    FreqRow{10900.0, "10.9k Hz"}, FreqRow{11300.0, "11.3k Hz"}, FreqRow{11700.0, "11.7k Hz"},
    FreqRow{12100.0, "12.1k Hz"}, FreqRow{12500.0, "12.5k Hz"}, FreqRow{12900.0, "12.9k Hz"},
    FreqRow{13400.0, "13.4k Hz"}, FreqRow{13900.0, "13.9k Hz"}, FreqRow{14400.0, "14.4k Hz"},
    FreqRow{14900.0, "14.9k Hz"}, FreqRow{15400.0, "15.4k Hz"}, FreqRow{16000.0, "16.0k Hz"},
    FreqRow{20000.0, "Out"},
}};

constexpr std::array<double, kGraphPoints> GraphFreqSeries = {{
    10.0,    10.2,    10.4,    10.6,    10.8,    11.0,    11.3,    11.5,    11.7,    11.9,    12.2,    12.4,    12.6,
    12.9,    13.1,    13.4,    13.7,    13.9,    14.2,    14.5,    14.7,    15.0,    15.3,    15.6,    15.9,    16.2,
    16.6,    16.9,    17.2,    17.5,    17.9,    18.2,    18.6,    18.9,    19.3,    19.7,    20.1,    20.5,    20.9,
    21.3,    21.7,    22.1,    22.5,    23.0,    23.4,    23.9,    24.3,    24.8,    25.3,    25.8,    26.3,    26.8,
    27.3,    27.8,    28.4,    28.9,    29.5,    30.1,    30.7,    31.3,    31.9,    32.5,    33.1,    33.8,    34.4,
    35.1,    35.8,    36.5,    37.2,    37.9,    38.6,    39.4,    40.1,    40.9,    41.7,    42.5,    43.4,    44.2,
    45.1,    45.9,    46.8,    47.7,    48.7,    49.6,    50.6,    51.6,    52.6,    53.6,    54.6,    55.7,    56.8,
    57.9,    59.0,    60.1,    61.3,    62.5,    63.7,    65.0,    66.2,    67.5,    68.8,    70.2,    71.5,    72.9,
    74.3,    75.8,    77.2,    78.7,    80.3,    81.8,    83.4,    85.0,    86.7,    88.4,    90.1,    94.0,    95.0,
    97.0,    99.0,    101.0,   103.0,   105.0,   107.0,   109.0,   111.0,   114.0,   116.0,   118.0,   120.0,   123.0,
    125.0,   127.0,   130.0,   132.0,   135.0,   138.0,   140.0,   143.0,   146.0,   149.0,   152.0,   154.0,   157.0,
    161.0,   164.0,   167.0,   170.0,   173.0,   177.0,   180.0,   184.0,   187.0,   191.0,   195.0,   198.0,   202.0,
    206.0,   210.0,   214.0,   218.0,   223.0,   227.0,   231.0,   236.0,   241.0,   245.0,   250.0,   255.0,   260.0,
    265.0,   270.0,   275.0,   281.0,   286.0,   292.0,   297.0,   303.0,   309.0,   315.0,   321.0,   327.0,   334.0,
    340.0,   347.0,   354.0,   360.0,   367.0,   375.0,   382.0,   389.0,   397.0,   405.0,   412.0,   420.0,   429.0,
    437.0,   445.0,   454.0,   463.0,   472.0,   481.0,   490.0,   500.0,   510.0,   520.0,   530.0,   540.0,   551.0,
    561.0,   572.0,   583.0,   595.0,   606.0,   618.0,   630.0,   642.0,   655.0,   667.0,   680.0,   694.0,   707.0,
    721.0,   735.0,   749.0,   764.0,   779.0,   794.0,   809.0,   825.0,   841.0,   857.0,   874.0,   891.0,   908.0,
    926.0,   944.0,   962.0,   981.0,   1000.0,  1020.0,  1040.0,  1060.0,  1080.0,  1100.0,  1120.0,  1140.0,  1170.0,
    1190.0,  1210.0,  1240.0,  1260.0,  1280.0,  1310.0,  1330.0,  1360.0,  1390.0,  1410.0,  1440.0,  1470.0,  1500.0,
    1530.0,  1560.0,  1590.0,  1620.0,  1650.0,  1680.0,  1710.0,  1750.0,  1780.0,  1820.0,  1850.0,  1890.0,  1920.0,
    1960.0,  2000.0,  2040.0,  2080.0,  2120.0,  2160.0,  2200.0,  2240.0,  2290.0,  2330.0,  2380.0,  2420.0,  2470.0,
    2520.0,  2570.0,  2620.0,  2670.0,  2720.0,  2770.0,  2830.0,  2880.0,  2940.0,  3000.0,  3050.0,  3110.0,  3170.0,
    3240.0,  3300.0,  3360.0,  3430.0,  3500.0,  3560.0,  3630.0,  3700.0,  3780.0,  3850.0,  3920.0,  4000.0,  4080.0,
    4160.0,  4240.0,  4320.0,  4400.0,  4490.0,  4580.0,  4670.0,  4760.0,  4850.0,  4940.0,  5040.0,  5140.0,  5240.0,
    5340.0,  5440.0,  5500.0,  5660.0,  5770.0,  5880.0,  5990.0,  6110.0,  6230.0,  6350.0,  6470.0,  6600.0,  6730.0,
    6860.0,  6990.0,  7130.0,  7270.0,  7410.0,  7550.0,  7700.0,  7850.0,  8000.0,  8160.0,  8310.0,  8480.0,  8640.0,
    8810.0,  8980.0,  9150.0,  9330.0,  9510.0,  9700.0,  9890.0,  10100.0, 10300.0, 10500.0, 10700.0, 10900.0, 11100.0,
    11300.0, 11500.0, 11800.0, 12000.0, 12200.0, 12500.0, 12700.0, 12900.0, 13200.0, 13500.0, 13700.0, 14000.0, 14300.0,
    14500.0, 14800.0, 15100.0, 15400.0, 15700.0, 16000.0, 16300.0, 16600.0, 17000.0, 17300.0, 17600.0, 18000.0, 18300.0,
    18700.0, 19000.0, 19400.0, 19800.0, 20200.0,
}};

constexpr std::array<double, kEqGainSteps> EqGainTable = MakeEqGainTable();

constexpr std::array<XoverTypeName, kXoverTypes> XoverTypeNames = {{
    {" 6dB Butterworth", "But 6"},
    {"12dB Butterworth", "But 12"},
    {"12dB Bessel", "Bes 12"},
    {"12dB Linkwitz-Riley", "L-R 12"},
    {"18dB Butterworth", "But 18"},
    {"24dB Butterworth", "But 24"},
    {"24dB Bessel", "Bes 24"},
    {"24dB Linkwitz-Riley", "L-R 24"},
    {"48dB Butterworth", "But 48"},
    {"48dB Linkwitz-Riley", "L-R 48"},
}};

constexpr std::array<const char*, kEqTypes> EqTypeNames = {"Low 6", "Low 12", "Bell", "High 6", "High 12"};

const char* FreqLabel(int row) { return FreqIndexTable[std::clamp(row, 0, kFreqRows - 1)].label; }

int GraphPointForFrequency(double hz) {
    auto it = std::find_if(GraphFreqSeries.begin(), GraphFreqSeries.end(), [hz](double f) { return f >= hz; });
    return static_cast<int>(it - GraphFreqSeries.begin());
}

double EqWidthOctaves(int index) { return (index + 1) * 0.05; }

}  // namespace kvvalues
