#include "replay/apply.h"

namespace orvan::replay {

bool ApplyDirective(const Step& s, ScriptedObservatory& observatory) {
  switch (s.type) {
    case Step::Type::Answer:
      observatory.Answer(s.object, s.member, s.values);
      return true;
    case Step::Type::AnswerMapping:
      observatory.AnswerMapping(s.pairs);
      return true;
    case Step::Type::Raise:
      observatory.Raise(s.object, s.member, s.number, s.text);
      return true;
    case Step::Type::NoCreate:
      observatory.NoCreate(s.text);
      return true;
    case Step::Type::Nest:
      if (s.object == kMsgBoxNest) return false;
      observatory.Nest(s.object, s.member, s.text);
      return true;
    default:
      return false;
  }
}

}  // namespace orvan::replay
