#include "trees/SyncRecord.h"

#include <cmath>
#include <cstdio>

namespace {

std::string WithUnit(double value, const char* unit)
{
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.1f %s", value, unit);
  return buf;
}

} // namespace

std::string RemoteSizeText(std::int64_t bytes)
{
  if (bytes <= 1000)
    return std::to_string(bytes) + " bytes";
  if (bytes <= 1000000)
    return WithUnit(static_cast<double>(bytes) / 1024.0, "KB");
  return WithUnit(static_cast<double>(bytes) / 1048576.0, "MB");
}

std::string LocalSizeText(std::int64_t bytes)
{
  if (bytes <= 1000)
    return std::to_string(bytes) + " bytes";
  if (bytes <= 1000000)
    return WithUnit(static_cast<double>(std::llround(static_cast<double>(bytes) / 1024.0)), "KB");
  return WithUnit(static_cast<double>(std::llround(static_cast<double>(bytes) / 1048576.0)), "MB");
}
