#!/usr/bin/env bash
# The library exports its interface and nothing else: every dynamic symbol it defines belongs to
# the controller, the toolkit, Geometry, PID or the logging facade, and the facade's static object
# is among them.
set -euo pipefail
library=$1
symbols=$(nm -D --defined-only "$library" | c++filt | cut -d' ' -f2-)

interface='^[BDTWu] (Controller::|Geometry::|PID::|PIDImpl::|tovrek::Logger::|guard variable for tovrek::Logger::Instance'
interface+='|(PIDInit0|ParameterConfig|AGVMechanicParaConfig|fSat|SetLimit|max|Sign|NormalizationAngle'
interface+='|NormalizationAnglePos|Rotationfunction|CalcAngleError|CalLineDelta|TrapezoidV|mvRun|NewPID3'
interface+='|Rotation|spinTurn|VW2WheelsNew|VW2WheelRestrict|WheelDirOut|VW2Wheels_DS|OdemeterOut|LineTraj'
interface+='|LineTraj_DS|ArcMove_DS|PreMove)\(|[A-Za-z_][A-Za-z0-9_]*$)'
if stray=$(grep -v -E "$interface" <<<"$symbols"); then
  echo "exported beyond the interface:"
  echo "$stray"
  exit 1
fi

for expected in 'u tovrek::Logger::Instance(.*)::instance' 'D gWheelDir' 'B m_struErrorTheta' \
  'T Controller::getVelocityCommands' 'T Geometry::getNearestLine' 'T PID::calculate' \
  'T VW2Wheels_DS\(double, double, double, double, double\)'; do
  if ! grep -q -E "^$expected" <<<"$symbols"; then
    echo "missing export: $expected"
    exit 1
  fi
done
echo "exports: $(wc -l <<<"$symbols") symbols, all of the interface"
