// The EQ filter pool: rows taken and freed, slot lists, DSP placement, twin
// filters under the stereo link, and the link's value copy.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <cstring>
#include <vector>

#include "model_builder.h"
#include "param_wire.h"

namespace {

using namespace kvtest::param_wire;

class EqPool : public testing::Test {
protected:
    kvtest::WireRecorder rec;  // absorbs the messages and pauses
    CDSDATA m;

    int* ListOf(int owner) {
        if (owner == CHAN_IN_A) return m.ina_eq_slot;
        if (owner == CHAN_IN_B) return m.inb_eq_slot;
        return m.out_eq_slot[owner];
    }
    std::vector<int> Used(int owner) {
        std::vector<int> rows;
        for (int k = 0; k < 40 && ListOf(owner)[k] != -1; ++k) rows.push_back(ListOf(owner)[k]);
        return rows;
    }

    static bool SamePool(const CDSDATA& a, const CDSDATA& b) {
        return std::memcmp(a.eq_owner, b.eq_owner, sizeof a.eq_owner) == 0 &&
               std::memcmp(a.eq_link, b.eq_link, sizeof a.eq_link) == 0 &&
               std::memcmp(a.eq_dsp, b.eq_dsp, sizeof a.eq_dsp) == 0 &&
               std::memcmp(a.eq_gain, b.eq_gain, sizeof a.eq_gain) == 0 &&
               std::memcmp(a.out_eq_slot, b.out_eq_slot, sizeof a.out_eq_slot) == 0 &&
               std::memcmp(a.ina_eq_slot, b.ina_eq_slot, sizeof a.ina_eq_slot) == 0 &&
               std::memcmp(a.inb_eq_slot, b.inb_eq_slot, sizeof a.inb_eq_slot) == 0 && a.eq_used == b.eq_used &&
               a.cur_eq == b.cur_eq;
    }

    void OpenOut(int out, int slot) {
        m.cur_chan = out;
        m.cur_slot = slot;
        m.SetNewPEQ();
    }
    void ReleaseOut(int out, int slot) {
        m.cur_chan = out;
        m.cur_slot = slot;
        m.cur_eq = m.out_eq_slot[out][slot];
        m.DeletePEQ();
    }
    void OpenInA(int slot) {
        m.cur_chan = CHAN_IN_A;
        m.cur_slot = slot;
        m.SetNewInAPEQ();
    }

    // What must hold after every operation: lists packed, each listed row
    // owned by that channel and listed once, every owned row listed, free
    // rows fully reset, eq_used right and the default row untouched.
    void ExpectConsistent() {
        const int owners[] = {0, 1, 2, 3, 4, 5, CHAN_IN_A, CHAN_IN_B};
        std::vector<int> listed(40, 0);
        for (int owner : owners) {
            const int* list = ListOf(owner);
            bool gap = false;
            for (int k = 0; k < 40; ++k) {
                if (list[k] == -1) {
                    gap = true;
                    continue;
                }
                EXPECT_FALSE(gap) << "hole in the list of " << owner << " before slot " << k;
                ASSERT_GE(list[k], 0);
                ASSERT_LT(list[k], 39);
                EXPECT_EQ(m.eq_owner[list[k]], owner) << "row " << list[k];
                ++listed[list[k]];
            }
        }
        int used = 0;
        for (int r = 0; r < 39; ++r) {
            if (m.eq_owner[r] != -1) {
                ++used;
                EXPECT_EQ(listed[r], 1) << "row " << r << " of owner " << m.eq_owner[r];
                EXPECT_NE(m.eq_dsp[r], -1) << "row " << r;
            } else {
                EXPECT_EQ(m.eq_link[r], -1) << "free row " << r;
                EXPECT_EQ(m.eq_dsp[r], -1) << "free row " << r;
                EXPECT_EQ(m.eq_gain[r], 30) << "free row " << r;
            }
            if (m.eq_link[r] != -1) {
                EXPECT_NE(m.eq_owner[m.eq_link[r]], -1) << "twin of row " << r;
            }
        }
        EXPECT_EQ(m.eq_used, used);
        EXPECT_EQ(m.eq_owner[39], -1);
        EXPECT_EQ(m.eq_freq[39], 120);
        EXPECT_EQ(m.eq_bw[39], 5);
        EXPECT_EQ(m.eq_type[39], 2);
    }
};

TEST_F(EqPool, FirstOpenOnOut3) {
    OpenOut(2, 0);
    EXPECT_EQ(m.cur_eq, 0);
    EXPECT_EQ(m.eq_owner[0], 2);
    EXPECT_EQ(m.eq_gain[0], 31);
    EXPECT_EQ(m.eq_dsp[0], 1);
    EXPECT_EQ(m.eq_used, 1);
    EXPECT_EQ(Used(2), std::vector<int>{0});
    ExpectConsistent();
}

TEST_F(EqPool, OutputOpenWithLinkFullSequence) {
    m.figuration = 1;
    m.link_on = 1;
    OpenOut(0, 0);
    const Events expected = {
        Param("60 1A 01"),
        SleepMs(10),
        Param("61 1A 01"),
        SpinUs(30000),
        SleepMs(500),
        Param("60 17 01"),
        SpinUs(30000),
        SleepMs(500),
        Param("60 6C 00 02 02"),
        SleepMs(10),
        Param("61 6C 00 02 02"),
        SpinUs(30000),
        SleepMs(500),
        Param("60 6D 00 78 02"),
        SleepMs(10),
        Param("61 6D 00 78 02"),
        SpinUs(30000),
        SleepMs(500),
        Param("60 6E 00 1F 02"),
        SleepMs(10),
        Param("61 6E 00 1F 02"),
        SpinUs(30000),
        Param("60 1A 01"),
        SpinUs(30000),
        SleepMs(500),
        Param("60 6F 00 05 02"),
        SleepMs(10),
        Param("61 6F 00 05 02"),
        SpinUs(30000),
    };
    EXPECT_EQ(rec.events, expected) << rec.Describe();
}

TEST_F(EqPool, InputOpenSendsToInputSelector) {
    OpenInA(0);
    const auto msgs = rec.Messages();
    ASSERT_EQ(msgs.size(), 7u);  // five codes, trailer 17 and trailer 1A
    EXPECT_EQ(msgs[0], Param("20 1A 01").bytes);
    EXPECT_EQ(msgs[1], Param("20 17 01").bytes);
    EXPECT_EQ(msgs[2], Param("20 2A 00 02 02").bytes);
    EXPECT_EQ(msgs[3], Param("20 2B 00 00 78 02").bytes);
    EXPECT_EQ(msgs[4], Param("20 2C 00 1F 02").bytes);
    EXPECT_EQ(msgs[6], Param("20 2D 00 05 02").bytes);
}

TEST_F(EqPool, ReleasedRowIsTakenAgainFirst) {
    OpenOut(0, 0);
    OpenOut(0, 1);
    OpenOut(0, 2);
    ReleaseOut(0, 0);
    EXPECT_EQ(m.eq_used, 2);
    EXPECT_EQ(Used(0), (std::vector<int>{1, 2}));
    OpenOut(3, 0);
    EXPECT_EQ(m.out_eq_slot[3][0], 0);
    EXPECT_EQ(m.eq_used, 3);
    ExpectConsistent();
}

TEST_F(EqPool, ReleaseResetsRowAndSendsItFlat) {
    OpenOut(4, 0);
    m.eq_freq[0] = 150;
    m.eq_bw[0] = 40;
    m.eq_type[0] = 4;
    m.eq_gain[0] = 50;
    rec.Clear();
    ReleaseOut(4, 0);
    EXPECT_EQ(rec.events, (Events{Param("64 6E 00 1E 02"), SleepMs(10), Param("64 1A 01"), SpinUs(30000)}))
        << rec.Describe();
    EXPECT_EQ(m.eq_owner[0], -1);
    EXPECT_EQ(m.eq_freq[0], 120);
    EXPECT_EQ(m.eq_bw[0], 5);
    EXPECT_EQ(m.eq_type[0], 2);
    EXPECT_EQ(m.eq_gain[0], 30);
    EXPECT_EQ(m.cur_eq, -1);
    ExpectConsistent();
}

TEST_F(EqPool, ReleaseInsideAList) {
    // Out 5 holds rows 4, 7, 9; Out 1 holds the rows between.
    int out1_slot = 0;
    for (int r = 0; r < 10; ++r) {
        const bool out5 = r == 4 || r == 7 || r == 9;
        const int slot = out5 ? (r == 4 ? 0 : r == 7 ? 1 : 2) : out1_slot++;
        kvtest::PoolRow(m, r).Owner(out5 ? 4 : 0).Dsp(0).Slot(slot).Counted();
    }
    ExpectConsistent();

    CDSDATA before = m;
    ReleaseOut(4, 0);
    EXPECT_EQ(Used(4), (std::vector<int>{7, 9}));
    EXPECT_EQ(m.out_eq_slot[4][2], -1);
    EXPECT_EQ(m.cur_eq, 7);
    ExpectConsistent();

    m = before;
    ReleaseOut(4, 1);
    EXPECT_EQ(Used(4), (std::vector<int>{4, 9}));
    EXPECT_EQ(m.cur_eq, 9);
    ExpectConsistent();

    m = before;
    ReleaseOut(4, 2);
    EXPECT_EQ(Used(4), (std::vector<int>{4, 7}));
    EXPECT_EQ(m.cur_eq, -1);
    ExpectConsistent();
}

TEST_F(EqPool, ReleaseOfAnEmptySlotDoesNothing) {
    OpenOut(1, 0);
    const CDSDATA before = m;
    rec.Clear();
    for (int shown : {-1, 39}) {  // the editor shows an empty slot with row 39
        m.cur_chan = 1;
        m.cur_slot = 1;
        m.cur_eq = shown;
        m.DeletePEQ();
        m.cur_chan = CHAN_IN_A;
        m.DeleteInAPEQ();
    }
    EXPECT_TRUE(rec.events.empty()) << rec.Describe();
    m.cur_eq = before.cur_eq;
    EXPECT_TRUE(SamePool(before, m));
    ExpectConsistent();
}

TEST_F(EqPool, TwinsFollowInTwoChannelThreeWay) {
    m.figuration = 1;
    m.link_on = 1;
    OpenOut(0, 0);
    EXPECT_EQ(m.eq_used, 2);
    EXPECT_EQ(m.cur_eq, 0);
    EXPECT_EQ(m.out_eq_slot[1][0], 1);
    EXPECT_EQ(m.eq_owner[1], 1);
    EXPECT_EQ(m.eq_link[0], 1);
    EXPECT_EQ(m.eq_link[1], -1);
    EXPECT_EQ(m.eq_gain[1], 31);
    EXPECT_EQ(m.eq_dsp[1], 0);

    // Re-opening a filter in use copies its values to the twin again.
    m.eq_freq[0] = 77;
    m.eq_bw[0] = 12;
    m.eq_type[0] = 3;
    m.eq_gain[0] = 44;
    OpenOut(0, 0);
    EXPECT_EQ(m.eq_used, 2);
    EXPECT_EQ(m.eq_freq[1], 77);
    EXPECT_EQ(m.eq_bw[1], 12);
    EXPECT_EQ(m.eq_type[1], 3);
    EXPECT_EQ(m.eq_gain[1], 44);

    // Out 3's filter and its twin on Out 4 both go to the second DSP.
    OpenOut(2, 0);
    EXPECT_EQ(m.out_eq_slot[3][0], 3);
    EXPECT_EQ(m.eq_dsp[2], 1);
    EXPECT_EQ(m.eq_dsp[3], 1);
    ExpectConsistent();
}

TEST_F(EqPool, NoTwinWithoutPartner) {
    m.figuration = 2;
    m.link_on = 1;
    OpenOut(1, 0);  // Out 2 is alone in 3 Channel 2 Way
    EXPECT_EQ(m.eq_used, 1);
    EXPECT_EQ(m.eq_link[0], -1);
    m.link_on = 0;
    m.figuration = 1;
    OpenOut(0, 0);  // link off: no twin either
    EXPECT_EQ(m.eq_used, 2);
    EXPECT_EQ(Used(1), std::vector<int>{0});
    ExpectConsistent();
}

TEST_F(EqPool, LinkedReleaseKeepsBothListsParallel) {
    m.figuration = 2;
    m.link_on = 1;
    OpenOut(3, 0);  // rows 0 (Out 4) and 1 (twin on Out 6)
    OpenOut(3, 1);  // rows 2 and 3
    OpenOut(3, 2);  // rows 4 and 5
    ReleaseOut(3, 0);
    EXPECT_EQ(Used(3), (std::vector<int>{2, 4}));
    EXPECT_EQ(Used(5), (std::vector<int>{3, 5}));
    EXPECT_EQ(m.eq_used, 4);
    EXPECT_EQ(m.cur_eq, 2);
    ExpectConsistent();
    // The second filter is now in slot 0 on both outputs.
    ReleaseOut(3, 0);
    EXPECT_EQ(Used(5), std::vector<int>{5});
    ExpectConsistent();
}

TEST_F(EqPool, TwinStaysWhenLinkIsOffAtRelease) {
    m.figuration = 1;
    m.link_on = 1;
    OpenOut(4, 0);
    m.link_on = 0;
    ReleaseOut(4, 0);
    EXPECT_EQ(Used(5), std::vector<int>{1});
    EXPECT_EQ(m.eq_used, 1);
    ExpectConsistent();
}

TEST_F(EqPool, TwinReleasedOnItsOwnIsNeverFreedAgain) {
    m.figuration = 1;
    m.link_on = 1;
    OpenOut(0, 0);     // row 0 on Out 1, twin row 1 on Out 2
    ReleaseOut(1, 0);  // the twin alone, from Out 2's page
    EXPECT_EQ(m.eq_link[0], -1);
    m.link_on = 0;
    OpenOut(4, 0);  // row 1 now belongs to Out 5
    ASSERT_EQ(m.eq_owner[1], 4);
    m.link_on = 1;
    ReleaseOut(0, 0);
    EXPECT_EQ(m.eq_owner[1], 4);
    EXPECT_EQ(Used(4), std::vector<int>{1});
    ExpectConsistent();
}

TEST_F(EqPool, OpenOverAPartnerFilterAdoptsItAsTwin) {
    // Out 1 and Out 2 got out of step (a filter of Out 2 released alone);
    // a new Out 1 filter must not drop Out 2's filter from its list.
    m.figuration = 1;
    m.link_on = 1;
    OpenOut(1, 0);     // row 0 on Out 2, twin row 1 on Out 1
    OpenOut(1, 1);     // row 2 on Out 2, twin row 3 on Out 1
    ReleaseOut(0, 0);  // Out 1's row 1 has no twin of its own: Out 1 keeps row 3 only
    ASSERT_EQ(Used(0), std::vector<int>{3});
    ASSERT_EQ(Used(1), (std::vector<int>{0, 2}));
    OpenOut(0, 1);
    EXPECT_EQ(Used(1), (std::vector<int>{0, 2}));
    EXPECT_EQ(m.eq_link[m.out_eq_slot[0][1]], 2);
    EXPECT_EQ(m.eq_gain[2], 31);
    ExpectConsistent();
}

TEST_F(EqPool, InputTwins) {
    m.link_on = 1;
    OpenInA(0);
    EXPECT_EQ(m.cur_eq, 0);
    EXPECT_EQ(m.inb_eq_slot[0], 1);
    EXPECT_EQ(m.eq_owner[1], CHAN_IN_B);
    EXPECT_EQ(m.eq_link[0], 1);
    EXPECT_EQ(m.eq_dsp[0], 0);
    EXPECT_EQ(m.eq_dsp[1], 0);
    EXPECT_EQ(m.ina_eq_gain[0], 31);
    EXPECT_EQ(m.inb_eq_gain[1], 31);
    EXPECT_EQ(m.eq_used, 2);

    m.eq_freq[0] = 130;
    OpenInA(0);  // an edit re-sent through the open keeps the copies in step
    EXPECT_EQ(m.ina_eq_freq[0], 130);
    EXPECT_EQ(m.eq_freq[1], 130);
    EXPECT_EQ(m.inb_eq_freq[1], 130);
    EXPECT_EQ(m.eq_used, 2);

    OpenInA(1);
    m.cur_slot = 0;
    m.cur_eq = m.ina_eq_slot[0];
    m.DeleteInAPEQ();
    EXPECT_EQ(Used(CHAN_IN_A), std::vector<int>{2});
    EXPECT_EQ(Used(CHAN_IN_B), std::vector<int>{3});
    EXPECT_EQ(m.cur_eq, 2);
    ExpectConsistent();
}

TEST_F(EqPool, InputTwinFoundBySlotWhenNoneRecorded) {
    // In A and In B each got a filter in slot 0 while the link was off.
    OpenInA(0);
    m.cur_chan = CHAN_IN_B;
    m.cur_slot = 0;
    m.SetNewInBPEQ();
    m.link_on = 1;
    OpenInA(0);
    EXPECT_EQ(m.eq_used, 2);
    EXPECT_EQ(m.eq_link[0], 1);
    EXPECT_EQ(Used(CHAN_IN_B), std::vector<int>{1});
    ExpectConsistent();
}

TEST_F(EqPool, InputBHasNoTwin) {
    m.link_on = 1;
    m.cur_chan = CHAN_IN_B;
    m.cur_slot = 0;
    m.SetNewInBPEQ();
    EXPECT_EQ(m.eq_owner[0], CHAN_IN_B);
    EXPECT_EQ(m.inb_eq_gain[0], 31);
    EXPECT_EQ(m.eq_used, 1);
    EXPECT_EQ(Used(CHAN_IN_A), std::vector<int>{});
    EXPECT_EQ(rec.Messages()[0], Param("21 1A 01").bytes);
    m.cur_eq = 0;
    m.DeleteInBPEQ();
    EXPECT_EQ(m.eq_used, 0);
    ExpectConsistent();
}

TEST_F(EqPool, SecondDspTakesFiltersUpToItsLimit) {
    // Fig "Mono": Out 3 to Out 6 crossovers load the second DSP with 14.
    ASSERT_EQ(m.CalDSP2(), 14);
    for (int slot = 0; slot < 6; ++slot) OpenOut(2, slot);
    EXPECT_EQ(m.CalDSP2(), 20);
    OpenOut(5, 0);  // 20 is still room
    EXPECT_EQ(m.eq_dsp[6], 1);
    OpenOut(5, 1);  // 21 is not
    EXPECT_EQ(m.eq_dsp[7], 0);
    OpenOut(1, 0);  // Out 2 always runs on the first DSP
    EXPECT_EQ(m.eq_dsp[8], 0);
    ExpectConsistent();
}

TEST_F(EqPool, LoadedSecondDspSendsFiltersToTheFirst) {
    for (int n = 2; n < 6; ++n) m.xo_type[n][0] = m.xo_type[n][1] = 8;  // 48 dB
    ASSERT_GT(m.CalDSP2(), 20);
    OpenOut(3, 0);
    EXPECT_EQ(m.eq_dsp[0], 0);
    // Re-opening keeps the filter where it is, even once the load has fallen.
    for (int n = 2; n < 6; ++n) m.xo_type[n][0] = m.xo_type[n][1] = 7;
    OpenOut(3, 0);
    EXPECT_EQ(m.eq_dsp[0], 0);
}

TEST_F(EqPool, FullPoolLeavesEverythingAlone) {
    for (int r = 0; r < 38; ++r) OpenOut(5, r);
    m.figuration = 1;
    m.link_on = 1;
    rec.Clear();
    const CDSDATA before = m;
    OpenOut(0, 0);  // one row left, but the twin needs a second
    m.cur_chan = CHAN_IN_A;
    m.SetNewInAPEQ();
    EXPECT_TRUE(rec.events.empty()) << rec.Describe();
    EXPECT_TRUE(SamePool(before, m));
    EXPECT_EQ(m.eq_used, 38);

    m.link_on = 0;
    OpenOut(0, 0);  // the last row
    EXPECT_EQ(m.eq_used, 39);
    rec.Clear();
    OpenOut(1, 0);
    EXPECT_TRUE(rec.events.empty()) << rec.Describe();
    EXPECT_EQ(Used(1), std::vector<int>{});
    // A filter already open can still be re-sent with the pool full.
    OpenOut(0, 0);
    EXPECT_FALSE(rec.events.empty());
    EXPECT_EQ(m.eq_used, 39);
    ExpectConsistent();
}

TEST_F(EqPool, GetLinkChan) {
    const int partners[3][6] = {
        {-1, -1, -1, -1, -1, -1},
        {1, 0, 3, 2, 5, 4},
        {2, -1, 0, 5, -1, 3},
    };
    for (int fig = 0; fig < 3; ++fig) {
        m.figuration = static_cast<char>(fig);
        for (int out = 0; out < 6; ++out) {
            m.cur_chan = out;
            m.link_on = 0;
            EXPECT_EQ(m.GetLinkChan(), -1) << fig << " " << out;
            m.link_on = 1;
            EXPECT_EQ(m.GetLinkChan(), partners[fig][out]) << fig << " " << out;
        }
    }
}

TEST_F(EqPool, SetLinkValCopiesTheLinkedValues) {
    m.figuration = 1;
    m.InitData();
    m.link_on = 1;
    m.cur_chan = 0;
    m.out_gain[0] = -12;
    m.out_polarity[0] = 1;
    m.out_delay[0] = 480;
    m.out_limit[0] = 66;
    m.xo_type[0][0] = 2;
    m.xo_type[0][1] = 9;
    m.xo_freq[0][0] = 30;
    m.xo_freq[0][1] = 90;
    m.out_mute[0] = 0;
    m.out_source[0] = 2;
    m.SetLinkVal();
    EXPECT_EQ(m.out_gain[1], -12);
    EXPECT_EQ(m.out_polarity[1], 1);
    EXPECT_EQ(m.out_delay[1], 480);
    EXPECT_EQ(m.out_limit[1], 66);
    EXPECT_EQ(m.xo_type[1][0], 2);
    EXPECT_EQ(m.xo_type[1][1], 9);
    EXPECT_EQ(m.xo_freq[1][0], 30);
    EXPECT_EQ(m.xo_freq[1][1], 90);
    EXPECT_EQ(m.out_name[1], 9);  // "L Low" -> "R Low"
    EXPECT_EQ(m.out_mute[1], 1);  // mute and source stay
    EXPECT_EQ(m.out_source[1], 1);
    EXPECT_TRUE(rec.events.empty());

    m.link_on = 0;
    m.out_gain[0] = 5;
    m.SetLinkVal();
    EXPECT_EQ(m.out_gain[1], -12);
}

TEST_F(EqPool, SetLinkValNameRule) {
    const struct {
        int figuration, chan, name, partner_name, expected;
    } rows[] = {
        {1, 2, 7, 10, 10},   // "L Mid" -> "R Mid"
        {2, 3, 8, 0, 11},    // "L High" on Out 4 -> "R High" on Out 6
        {1, 0, 46, 3, 48},   // "L Subs" -> "R Subs"
        {1, 1, 9, 6, 6},     // the right-hand output: the partner keeps "L Low"
        {2, 5, 11, 8, 8},    // "R High" would step to "C High"
        {1, 5, 48, 46, 46},  // "R Subs" would step past the list
        {1, 0, 18, 4, 4},    // "Mid" has no sides
    };
    for (const auto& row : rows) {
        m.figuration = static_cast<char>(row.figuration);
        m.link_on = 1;
        m.cur_chan = row.chan;
        const int p = m.GetLinkChan();
        ASSERT_GE(p, 0);
        m.out_name[row.chan] = static_cast<char>(row.name);
        m.out_name[p] = static_cast<char>(row.partner_name);
        m.SetLinkVal();
        EXPECT_EQ(m.out_name[p], row.expected) << "name " << row.name;
        EXPECT_EQ(m.out_name[row.chan], row.name);
    }
}

}  // namespace
