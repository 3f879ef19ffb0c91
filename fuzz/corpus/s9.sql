begin try
  begin tran save_1
  save tran s
  raiserror('%-*.*s|%#x|%+05d', 16, 2, 8, 3, 'abcdef', 255, 7) with log, seterror
end try
begin catch
  select error_number(), error_message(), error_line(), xact_state()
  rollback tran s
  if @@trancount > 0 rollback;
  throw 50001, 'x', 1
end catch
