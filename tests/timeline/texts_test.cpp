// The text schedule: when records start, how blurred they are drawn, and
// that each is drawn for exactly its duration.
#include "fx/writer.h"
#include "timeline/startup.h"

namespace {

using tl::Frame;
using tl::Timeline;

Frame texts_at(int32_t pos, int32_t now) {
  Frame f(FRAME_BYTES, 0);
  draw_texts(f.data(), pos, now);
  return f;
}

Frame line(int text, int x, int y, int level) {
  Frame f(FRAME_BYTES, 0);
  writer(f.data(), text, x, y, level);
  return f;
}

TEST_F(Timeline, TextEntersAtLevel32OnItsFirstFrame) {
  EXPECT_EQ(texts_at(99, 1000), Frame(FRAME_BYTES, 0));
  EXPECT_EQ(texts[0].state, -1);
  const Frame first = texts_at(100, 1000);
  EXPECT_EQ(texts[0].state, 1000);
  EXPECT_EQ(texts[1].state, -1);
  EXPECT_EQ(first, line(0, 95, 58, 32));
  EXPECT_NE(first, line(0, 95, 58, 1));
}

TEST_F(Timeline, LevelSharpensThenBlursOutOverTheLast300Ms) {
  texts_at(100, 1000);
  struct Step {
    int32_t e;
    int level;  // 0: not drawn
  };
  // 32 - 31e/200 for e < 200, then 1, then (e - 3000 + 300) * 32 / 300
  // from e = 2701; a level below 1 draws sharp.
  for (const Step s : {Step{1, 32}, Step{7, 31}, Step{100, 17}, Step{199, 2}, Step{200, 1}, Step{2700, 1},
                       Step{2701, 0}, Step{2710, 1}, Step{2850, 16}, Step{2999, 31}, Step{3000, 0}}) {
    // pos below the start does not stop a started record.
    const Frame got = texts_at(s.e < 1500 ? 131 : 50, 1000 + s.e);
    const Frame want = s.e >= 3000 ? Frame(FRAME_BYTES, 0) : line(0, 95, 58, s.level);
    EXPECT_EQ(got, want) << "e = " << s.e;
  }
  // Never drawn again, even when its start position comes round again.
  EXPECT_EQ(texts_at(100, 9000), Frame(FRAME_BYTES, 0));
  EXPECT_EQ(texts[0].state, 1000);
}

TEST_F(Timeline, RecordsStartOnTheFirstFrameAtTheirPosition) {
  // Walk the whole song one row per 120 ms; each record's state is the
  // `now` of the first frame whose position reached its start, whatever
  // the table order.
  Frame scratch(FRAME_BYTES);
  for (int32_t pos = 0; pos <= 3000; pos += pos % 100 == 63 ? 37 : 1) draw_texts(scratch.data(), pos, pos * 120);
  for (int k = 0; k < TEXT_RECORDS - 1; k++) EXPECT_EQ(texts[k].state, text_table[k].start * 120) << "record " << k;
  EXPECT_EQ(texts[TEXT_RECORDS - 1].duration, 0);
  EXPECT_EQ(texts[TEXT_RECORDS - 1].state, -1);
}

}  // namespace
