// π and the degree factor as every angle computation of the stages takes
// them: the skew angle and the turned pixels depend on these exact values.
#pragma once

constexpr double kPi = 3.14159265359;
constexpr double kOneOver180 = 0.005555555555555556;
