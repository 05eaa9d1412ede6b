// placeholder: replaced by the host runtime
