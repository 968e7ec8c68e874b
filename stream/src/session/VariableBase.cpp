#include "stream/session/VariableBase.h"

void VariableBase::define(bool localOnly) {
    db_->defineVariable(name_, std::string(), 0, db_->clientId(), localOnly, false, false);
}

bool VariableBase::isDefined() const {
    std::string ignored;
    return db_->getValue(name_, ignored) != ClientDB::kNotFound;
}

InputClient::VariableValue VariableBase::read() const {
    std::string bytes;
    db_->getValue(name_, bytes);
    InputClient::VariableValue value;
    if (!bytes.empty() && !value.ParseFromString(bytes)) value.Clear();
    return value;
}

int VariableBase::write(const InputClient::VariableValue& value) const {
    return db_->setValueClient(name_, value.SerializeAsString());
}

bool BoolVariable::get() const { return read().boolvalue(); }
int BoolVariable::set(bool v) const {
    InputClient::VariableValue value;
    value.set_boolvalue(v);
    return write(value);
}

std::int32_t Int32Variable::get() const { return read().int32value(); }
int Int32Variable::set(std::int32_t v) const {
    InputClient::VariableValue value;
    value.set_int32value(v);
    return write(value);
}

std::uint64_t UInt64Variable::get() const { return read().uint64value(); }
int UInt64Variable::set(std::uint64_t v) const {
    InputClient::VariableValue value;
    value.set_uint64value(v);
    return write(value);
}

std::string StringVariable::get() const { return read().stringvalue(); }
void StringVariable::set(const std::string& v) const {
    InputClient::VariableValue value;
    value.set_stringvalue(v);
    write(value);
}

ResolutionVariable::value_type ResolutionVariable::get() const {
    const auto value = read();
    return {value.resolutionvalue().x(), value.resolutionvalue().y()};
}
void ResolutionVariable::set(const value_type& v) const {
    InputClient::VariableValue value;
    value.mutable_resolutionvalue()->set_x(v.first);
    value.mutable_resolutionvalue()->set_y(v.second);
    write(value);
}
