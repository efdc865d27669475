// TEMPORARY stand-in for Think, replaced by the real one together with ThinkStandIn.
#include "search/think.h"

#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/time_controller.h"

ThinkFunction ThinkStandIn = nullptr;

bool Think(Engine* engine) {
  GameHistory* history = engine->history;
  u32 lastMove = history->count > 0 ? history->entries[history->count - 1].move : 0;
  i32 movesToGo = engine->protocol->movesToGo();
  i32 increment = engine->protocol->increment();
  if (engine->timeController) engine->timeController->start(lastMove, movesToGo, increment);
  engine->frames[0].line.length = 0;
  engine->frames[0].line.flag = 0;
  return ThinkStandIn ? ThinkStandIn(engine) : true;
}
