// Three single-precision PID loops on the global error records. The loop arithmetic stays in
// float throughout: results are expected to match that rounding exactly.

#include "trelvo/motion.hpp"

namespace {

void advance(PIDErrorStru& record, float error) {
  record.delta = error - record.current;
  record.last = record.current;
  record.current = error;
  record.sum = record.sum + error;
}

float loopOutput(const PIDGainStru& gains, const PIDErrorStru& record) {
  return (gains.kp * record.current + gains.ki * record.sum) + gains.kd * record.delta;
}

}  // namespace

void mvRun(DeltaXYR& deviation, AGV_VxVyW& command) {
  // The error is the negated deviation: negated in double, then rounded to float.
  advance(m_struErrorX, static_cast<float>(-deviation.x));
  advance(m_struErrorY, static_cast<float>(-deviation.y));
  advance(m_struErrorTheta, static_cast<float>(-deviation.r));

  const VxVyWLimitStru& limit = struVxVyWlimit;
  command.vx = fSat(loopOutput(struPIDX, m_struErrorX), limit.vxMin, limit.vxMax);
  command.vy = fSat(loopOutput(struPIDY, m_struErrorY), limit.vyMin, limit.vyMax);
  command.w = fSat(loopOutput(struPIDTheta, m_struErrorTheta), limit.wMin, limit.wMax);
}
