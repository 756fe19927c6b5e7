#include "tools/quality/y4m_reader.h"

#include <sstream>
#include <stdexcept>

namespace qvquality {
namespace {

constexpr int kMaxSide = 16384;

std::runtime_error failure(const std::string& path, const std::string& what) {
  return std::runtime_error(path + ": " + what);
}

}  // namespace

CY4mReader::CY4mReader(const std::string& path) : path_(path), file_(path, std::ios::binary) {
  if (!file_) throw failure(path, "cannot open the file");
  std::string header;
  if (!std::getline(file_, header) || header.rfind("YUV4MPEG2 ", 0) != 0) {
    throw failure(path, "not a YUV4MPEG2 clip");
  }
  std::istringstream tags(header.substr(10));
  std::string tag, chroma = "420";
  while (tags >> tag) {
    const std::string value = tag.substr(1);
    switch (tag[0]) {
      case 'W':
        width_ = std::atoi(value.c_str());
        break;
      case 'H':
        height_ = std::atoi(value.c_str());
        break;
      case 'C':
        chroma = value;
        break;
      case 'I':
        interlaced_ = value != "p" && value != "?";
        break;
      default:
        break;
    }
  }
  if (width_ < 1 || height_ < 1 || width_ > kMaxSide || height_ > kMaxSide) {
    throw failure(path, "missing or impossible picture size in the header");
  }
  const std::size_t w = static_cast<std::size_t>(width_), h = static_cast<std::size_t>(height_);
  const std::size_t halfW = (w + 1) / 2, halfH = (h + 1) / 2;
  if (chroma == "420" || chroma == "420jpeg" || chroma == "420mpeg2" || chroma == "420paldv") {
    chromaBytes_ = 2 * halfW * halfH;
  } else if (chroma == "422") {
    chromaBytes_ = 2 * halfW * h;
  } else if (chroma == "444") {
    chromaBytes_ = 2 * w * h;
  } else if (chroma == "411") {
    chromaBytes_ = 2 * ((w + 3) / 4) * h;
  } else if (chroma == "mono") {
    chromaBytes_ = 0;
  } else {
    throw failure(path, "chroma format C" + chroma + " is not read (8-bit 420, 422, 444 only)");
  }
}

bool CY4mReader::readFrame(RLumaFrame& frame) {
  std::string marker;
  if (!std::getline(file_, marker)) return false;
  if (marker.rfind("FRAME", 0) != 0) throw failure(path_, "malformed frame header");
  frame.width = width_;
  frame.height = height_;
  frame.luma.resize(static_cast<std::size_t>(width_) * height_);
  file_.read(reinterpret_cast<char*>(frame.luma.data()),
             static_cast<std::streamsize>(frame.luma.size()));
  if (!file_) throw failure(path_, "the last frame is cut short");
  file_.ignore(static_cast<std::streamsize>(chromaBytes_));
  if (static_cast<std::size_t>(file_.gcount()) != chromaBytes_) {
    throw failure(path_, "the last frame is cut short");
  }
  return true;
}

}  // namespace qvquality
