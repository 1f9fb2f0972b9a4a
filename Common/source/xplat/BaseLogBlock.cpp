#include "BaseLogBlock.h"

#include "Logger.h"

const char* const BaseLogBlock::kMarker = "--------------------";

BaseLogBlock::BaseLogBlock(LogAppender::LogLevel level, Logger* logger, const std::string& title)
    : level_(level), logger_(logger), title_(title)
{
    if (logger_)
        logger_->AppendToLog(level_, std::string(kMarker) + " BEGIN - " + title_ + " - BEGIN " + kMarker);
}

BaseLogBlock::~BaseLogBlock()
{
    if (logger_)
        logger_->AppendToLog(level_, std::string(kMarker) + "  END  - " + title_ + " -  END  " + kMarker);
}
